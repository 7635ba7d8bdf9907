#include "app/window_services.h"

#include "app/check_scheduler.h"
#include "core/vigil_store.h"

namespace {

WindowServices makeServices() {
    WindowServices s;
    s.loadVigils = VigilStore::load;
    s.saveVigils = VigilStore::save;
    s.checkAll = VigilTasks::checkAll;
    s.schedulerPass = [] { CheckScheduler::tick(); };
    return s;
}

}  // namespace

WindowServices& windowServices() {
    static WindowServices services = makeServices();
    return services;
}
