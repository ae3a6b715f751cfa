// The container view the host hands to a panel's create hook. For now it is an opaque token
// that knows which panel it holds; when the host gets a real view toolkit, the inside of this
// class changes and CreateContainerView stays the one place that makes containers.
#pragma once

#include <memory>
#include <string>

#include "sdk/AE_Types.h"

namespace qlo::hostsim {

class ContainerView {
public:
    explicit ContainerView(std::string panelName) : panelName_(std::move(panelName)) {}
    ContainerView(const ContainerView&) = delete;
    ContainerView& operator=(const ContainerView&) = delete;

    const std::string& panelName() const { return panelName_; }
    // The handle a plug-in receives; it names this object and is never dereferenced by the
    // plug-in.
    AEGP_PlatformViewRef ref() { return reinterpret_cast<AEGP_PlatformViewRef>(this); }

private:
    std::string panelName_;
};

std::unique_ptr<ContainerView> CreateContainerView(const std::string& panelName);

}  // namespace qlo::hostsim
