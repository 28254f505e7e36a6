// Every report writes the same text whatever the process locale: the user
// interface sets one for case folding, and a German number locale must not
// turn "3.50" into "3,50" or group "1234567" as "1.234.567".
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <locale>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include "mesh/StlExport.h"
#include "mesh/StlImport.h"
#include "mesh/remesh/RemeshReport.h"
#include "textures/seamless/SeamlessMethod.h"
#include "mesh/simplify/SimplifyFlatAreas.h"
#include "mesh/simplify/SimplifyMesh.h"
#include "tests/support/StlFiles.h"
#include "tests/support/TestSupport.h"
#include "text/Format.h"
#include "text/NumberText.h"
#include "textures/HeightMapImage.h"

namespace ridgeforge::mesh {
namespace {

constexpr const char* kCommaLocale = "de_DE.UTF-8";

// glibc keeps the locale path it read from LOCPATH for good; the leak checker
// is told to look away from the C library's locale loading.
class LocaleLoading {
public:
#if defined(__SANITIZE_ADDRESS__)
    LocaleLoading() { __lsan_disable(); }
    ~LocaleLoading() { __lsan_enable(); }
#else
    LocaleLoading() {}
#endif
};

// Puts the whole process (C and C++ locales) into a comma-decimal locale,
// building it into a scratch folder when the system has none installed, and
// back into "C" afterwards.
class CommaDecimalLocale {
public:
    CommaDecimalLocale() : folder_("locale") {
        const LocaleLoading quiet;
        if (!std::setlocale(LC_ALL, kCommaLocale)) {
            const std::string command =
                "localedef -i de_DE -f UTF-8 '" + (folder_ / kCommaLocale).string() + "' >/dev/null 2>&1";
            if (std::system(command.c_str()) != 0) return;
            ::setenv("LOCPATH", folder_.Path().c_str(), 1);
            if (!std::setlocale(LC_ALL, kCommaLocale)) return;
        }
        try {
            std::locale::global(std::locale(kCommaLocale));
        } catch (const std::runtime_error&) {
            return;
        }
        active_ = true;
    }
    ~CommaDecimalLocale() {
        const LocaleLoading quiet;
        std::locale::global(std::locale::classic());
        std::setlocale(LC_ALL, "C");
        ::unsetenv("LOCPATH");
    }
    bool Active() const { return active_; }

private:
    test::TempDir folder_;
    bool active_ = false;
};

// One of each report, with fractions, thousands and every optional part.
std::vector<std::string> EveryReport() {
    std::vector<std::string> texts;
    texts.push_back(FormatCount(1234567));
    texts.push_back(FormatDimensions(12.0f, 3.5f, 7.25f));
    texts.push_back(FormatFixed(3.5, 2));
    texts.push_back(FormatGeneral(0.0125, 6));
    texts.push_back(FormatScientific(1.5e-7, 2));
    texts.push_back(FormatFloatNineDigits(0.1f));

    StlImportOptions importOptions;
    importOptions.weldTolerance = 0.0125f;
    const TriangleMesh box = test::MakeBox({0, 0, 0}, {12.0f, 3.5f, 7.25f});
    const StlImportResult imported = ParseStl(test::BinaryStl(test::FacetsOf(box)), "part.stl", importOptions);
    texts.push_back(FormatImportReport(imported.report));

    StlExportReport exported;
    exported.path = "/tmp/part.stl";
    exported.trianglesWritten = 1234567;
    exported.bytesWritten = 61728434;
    exported.dimensions = {12.0f, 3.5f, 7.25f};
    exported.verifiedByReimport = true;
    exported.roundTrip = CompareRoundTrip(box, test::MakeBox({0, 0, 0}, {12.5f, 3.5f, 7.25f}));
    exported.warnings.push_back("a warning");
    texts.push_back(FormatExportReport(exported));
    texts.push_back(FormatRoundTripReport(exported.roundTrip));

    SimplifyReport simplified;
    simplified.trianglesBefore = 1234567;
    simplified.trianglesAfter = 234567;
    simplified.collapses = 500000;
    simplified.largestCollapseCost = 0.0125f;
    simplified.detailLevel = 0.05f;
    simplified.measured = true;
    simplified.maxMovedMillimetres = 0.125f;
    simplified.meanMovedMillimetres = 0.0125f;
    simplified.seconds = 1.5;
    texts.push_back(FormatSimplifyReport(simplified));

    FlatAreaSimplifyReport flat;
    flat.trianglesBefore = 1234567;
    flat.trianglesAfter = 1234565;
    flat.verticesBefore = 600000;
    flat.verticesAfter = 599999;
    flat.collapses = 1;
    flat.sweeps = 2;
    flat.facesKeptForTexture = 1500;
    flat.boundsAfter[3] = 0.25f;
    flat.volumeBefore = 100.0;
    flat.volumeAfter = 100.5;
    flat.areaBefore = 80.0;
    flat.areaAfter = 80.25;
    texts.push_back(FormatFlatAreaSimplifyReport(flat));

    RemeshReport remeshed;
    remeshed.trianglesBefore = 1234567;
    remeshed.trianglesAfter = 2345678;
    remeshed.deviationMillimetres = 0.0125f;
    remeshed.sizeBefore[0] = remeshed.sizeAfter[0] = 12.5f;
    remeshed.qualityBefore = MeasureMeshQuality(box);
    remeshed.qualityAfter = remeshed.qualityBefore;
    remeshed.qualityAfter.shareOverTenToOne = 0.125;
    remeshed.stages.push_back({"contour", 1234.5});
    remeshed.cellMillimetres = 0.125f;
    remeshed.gridExtentMillimetres = 1234.5f;
    remeshed.cellRaised = true;
    remeshed.contoured = true;
    remeshed.bodiesBefore = 2;
    remeshed.strayBodiesRemoved = 1;
    remeshed.strayBodyTriangles = 1500;
    texts.push_back(FormatRemeshReport(remeshed));
    texts.push_back(FormatMeshQuality(remeshed.qualityAfter));

    seamless::SeamlessReport seam;
    seam.methodName = "Histogram patches";
    seam.inputWidth = seam.outputWidth = 1500;
    seam.inputHeight = seam.outputHeight = 1200;
    seam.contrastBefore = 0.5f;
    seam.contrastAfter = 0.375f;
    seam.milliseconds = 1234.5;
    texts.push_back(seamless::DescribeReport(seam));

    HeightMapImage image;
    image.ok = true;
    image.container = "PNG";
    image.width = 1500;
    image.height = 1200;
    image.bitsPerChannel = 16;
    texts.push_back(DescribeHeightMapImage(image));
    return texts;
}

TEST(ReportLocale, EveryReportReadsTheSameInACommaDecimalLocale) {
    const std::vector<std::string> plain = EveryReport();
    EXPECT_EQ(plain[1], "12.00 x 3.50 x 7.25 mm");
    EXPECT_EQ(plain[2], "3.50");

    CommaDecimalLocale comma;
    if (!comma.Active()) GTEST_SKIP() << "no comma-decimal locale could be set up";
    // The locale really writes a comma: otherwise the comparison proves nothing.
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.2f", 3.5);
    ASSERT_STREQ(probe, "3,50");

    const std::vector<std::string> localised = EveryReport();
    ASSERT_EQ(localised.size(), plain.size());
    for (std::size_t i = 0; i < plain.size(); ++i) EXPECT_EQ(localised[i], plain[i]) << "report " << i;
}

}  // namespace
}  // namespace ridgeforge::mesh
