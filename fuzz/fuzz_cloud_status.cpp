// cloud status answers: a failure leaves nothing of the model but its error;
// a success has only the four modes and either no transfers or all five.
#include "FuzzCheck.h"
#include "cloud/CloudStatus.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    if (size < 1)
        return 0;
    const int status = data[0] % 3;
    const QString output = QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const veldrin::CloudModel model = veldrin::parseCloudStatus(status, output);
    if (model.cloudError) {
        FUZZ_CHECK(!model.cloudError->isEmpty());
        FUZZ_CHECK(!model.cloudDeviceName && model.cloudProfiles.empty() && model.cloudTransfers.empty());
    } else {
        FUZZ_CHECK(status == 0);
        FUZZ_CHECK(model.cloudTransfers.empty() || model.cloudTransfers.size() == 5);
        for (const auto& [key, profile] : model.cloudProfiles)
            FUZZ_CHECK(QStringList({"up", "down", "both", "off"}).contains(profile.mode));
    }
    return 0;
}
