// What the host reads first: ImportTable, into which it writes its function
// table, and Linkage, the module's gauge table.
#include "host/host.h"
#include "module/gauge_table.h"

#if defined(_WIN32)
#define TALVOR_EXPORT
#else
#define TALVOR_EXPORT __attribute__((visibility("default")))
#endif

namespace {

void HOSTCALL ModuleInit() {}
void HOSTCALL ModuleDeinit() {}

}  // namespace

extern "C" {

TALVOR_EXPORT IMPORT_ENTRY ImportTable[2] = {
    {kImportHostPanelsId, nullptr},
    {0, nullptr},
};

TALVOR_EXPORT GAUGE_LINKAGE_T<10> Linkage = {
    kLinkageModuleId,
    ModuleInit,
    ModuleDeinit,
    0,
    0,
    kLinkageVersion,
    {
        &StecGauge,
        &PreselectorGauge,
        &AirspeedGauge,
        &ClockGauge,
        &ThrottleGauge,
        &MixtureGauge,
        &TrimGauge,
        &AudioGauge,
        &SpoilerGauge,
        nullptr,
    },
};

}  // extern "C"

static_assert(offsetof(GAUGE_LINKAGE_T<10>, gauges) == offsetof(GAUGE_LINKAGE, gauges),
              "the module's table and the host's view share their prefix");
