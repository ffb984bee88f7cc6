#include "tivplatform/settings.h"

namespace tiv {

namespace {
FormatSettings &instance() {
    static FormatSettings settings;
    return settings;
}
} // namespace

FormatSettings &formatSettings() {
    return instance();
}

void resetFormatSettings() {
    instance() = FormatSettings{};
}

} // namespace tiv
