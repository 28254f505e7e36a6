// An import that runs out of memory is refused with a message, and its report
// keeps the format that was detected before the memory ran out. Allocations
// above a limit fail in this executable only while a test asks for it.
#include <atomic>
#include <cstdlib>
#include <limits>
#include <new>

#include <gtest/gtest.h>

#include "mesh/StlImport.h"
#include "tests/support/AllocationLimit.h"
#include "tests/support/StlFiles.h"
#include "tests/support/TestSupport.h"

namespace ridgeforge::mesh {
namespace {

StlImportResult ParseWithLimit(const std::vector<std::uint8_t>& bytes, std::size_t limit) {
    test::largestAllowedAllocation = limit;
    StlImportResult result = ParseStl(bytes, "part.stl", StlImportOptions{});
    test::largestAllowedAllocation = std::numeric_limits<std::size_t>::max();
    return result;
}

TEST(StlImportMemory, OutOfMemoryKeepsTheDetectedFormat) {
    const auto facets = test::FacetsOf(test::MakeBox({0, 0, 0}, {12.0f, 3.5f, 7.25f}));
    const std::vector<std::uint8_t> binary = test::BinaryStl(facets);
    const std::vector<std::uint8_t> ascii = test::Bytes(test::AsciiStl(facets));

    for (const auto& [bytes, format] :
         {std::pair{binary, StlFileFormat::Binary}, std::pair{ascii, StlFileFormat::Ascii}}) {
        // With memory to spare the file loads, so the refusal below is the limit's doing.
        const StlImportResult loaded = ParseStl(bytes, "part.stl", StlImportOptions{});
        ASSERT_TRUE(loaded.ok) << loaded.error;
        EXPECT_EQ(loaded.report.format, format);

        const StlImportResult starved = ParseWithLimit(bytes, 128);
        EXPECT_FALSE(starved.ok);
        EXPECT_EQ(starved.error, "There is not enough memory to load the file.");
        EXPECT_EQ(starved.report.format, format);
        EXPECT_TRUE(starved.mesh.indices.empty());
    }
}

}  // namespace
}  // namespace ridgeforge::mesh
