// Placeholder for the "Before saving:" check until its own module is merged;
// it checks nothing and must go when that module arrives.
#include "document/RidgeforgeDoc.h"

namespace ridgeforge {

bool ExportCheckReport(const mesh::TriangleMesh&, const mesh::DisplacementBase&, CString& text) {
    text += L"Before saving:\r\n";
    return true;
}

}  // namespace ridgeforge
