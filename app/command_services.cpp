#include "app/command_services.h"

CommandServices& commandServices() {
    static CommandServices services;
    return services;
}
