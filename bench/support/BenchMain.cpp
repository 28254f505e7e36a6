// The benchmarks' main: Google Benchmark's own, after the request for huge
// pages that the program makes when it starts, so that a benchmark measures
// memory as the program gets it. GLIBC_TUNABLES=glibc.malloc.hugetlb=0
// measures it without.
#include <benchmark/benchmark.h>

#include "platform/Memory.h"

int main(int argc, char** argv) {
    ridgeforge::platform::RestartAskingForHugePages(argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
