// The Codex apps' global state files: every project offered has a key and a
// name, and sorting keeps every one of them.
#include "FuzzCheck.h"
#include "cloud/Offering.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    QList<veldrin::OfferCandidate> projects =
        veldrin::parseLocalProjects(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    const qsizetype count = projects.size();
    veldrin::sortByName(projects);
    FUZZ_CHECK(projects.size() == count);
    return 0;
}
