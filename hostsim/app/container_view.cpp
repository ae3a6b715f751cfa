#include "hostsim/app/container_view.h"

namespace qlo::hostsim {

std::unique_ptr<ContainerView> CreateContainerView(const std::string& panelName) {
    return std::make_unique<ContainerView>(panelName);
}

}  // namespace qlo::hostsim
