#include "app/window_services.h"

#include "app/check_scheduler.h"
#include "core/vigil_list.h"
#include "core/vigil_store.h"

namespace {

WindowServices makeServices() {
    WindowServices s;
    s.loadVigils = [](const std::string& fileName) { return VigilStore::load(fileName, vigilList()); };
    s.saveVigils = [](const std::string& fileName) { return VigilStore::save(fileName, vigilList()); };
    s.checkAll = VigilTasks::checkAll;
    s.schedulerPass = [] { CheckScheduler::tick(); };
    return s;
}

}  // namespace

WindowServices& windowServices() {
    static WindowServices services = makeServices();
    return services;
}
