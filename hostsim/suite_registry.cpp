// The basic suite over the process's table of suites. The basic suite's functions carry no
// context, so they reach the one registry of the process through SuiteRegistry::instance().
#include "hostsim/suite_registry.h"
#include "hostsim/suite_faults.h"

#include <cstdlib>
#include <cstring>

namespace qlo::hostsim {

namespace {

SPErr BasicAcquireSuite(const char* name, int32_t version, const void** suite) {
    return SuiteRegistry::instance().acquire(name, version, suite);
}

SPErr BasicReleaseSuite(const char* name, int32_t version) {
    return SuiteRegistry::instance().release(name, version);
}

SPBoolean BasicIsEqual(const char* token1, const char* token2) {
    if (token1 == nullptr || token2 == nullptr) return token1 == token2;
    return std::strcmp(token1, token2) == 0;
}

SPErr BasicAllocateBlock(size_t size, void** block) {
    if (block == nullptr) return kSPBadParameterError;
    // A zero-size request still yields a block that FreeBlock accepts.
    void* memory = std::malloc(size == 0 ? 1 : size);
    if (memory == nullptr) return A_Err_ALLOC;
    *block = memory;
    return kSPNoError;
}

SPErr BasicFreeBlock(void* block) {
    std::free(block);
    return kSPNoError;
}

SPErr BasicReallocateBlock(void* block, size_t newSize, void** newblock) {
    if (newblock == nullptr) return kSPBadParameterError;
    void* memory = std::realloc(block, newSize == 0 ? 1 : newSize);
    // On failure the old block stays valid and *newblock is left alone.
    if (memory == nullptr) return A_Err_ALLOC;
    *newblock = memory;
    return kSPNoError;
}

// The slot every host keeps for future use; calling it is always an error.
SPErr BasicUndefined() {
    return kSPSuiteNotFoundError;
}

}  // namespace

SuiteRegistry& SuiteRegistry::instance() {
    static SuiteRegistry registry;
    return registry;
}

SuiteRegistry::SuiteRegistry() {
    basic_.AcquireSuite = &BasicAcquireSuite;
    basic_.ReleaseSuite = &BasicReleaseSuite;
    basic_.IsEqual = &BasicIsEqual;
    basic_.AllocateBlock = &BasicAllocateBlock;
    basic_.FreeBlock = &BasicFreeBlock;
    basic_.ReallocateBlock = &BasicReallocateBlock;
    basic_.Undefined = &BasicUndefined;
}

void SuiteRegistry::add(const std::string& name, int32_t version, const void* table) {
    std::lock_guard<std::mutex> lock(mutex_);
    // Replacing a table keeps the counts: acquisitions made before still have to be released.
    suites_[Key{name, version}].table = table;
}

void SuiteRegistry::remove(const std::string& name, int32_t version) {
    std::lock_guard<std::mutex> lock(mutex_);
    suites_.erase(Key{name, version});
}

void SuiteRegistry::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    suites_.clear();
    unbalanced_ = 0;
}

SPBasicSuite* SuiteRegistry::basic() {
    return &basic_;
}

int SuiteRegistry::outstanding(const std::string& name, int32_t version) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = suites_.find(Key{name, version});
    return it == suites_.end() ? 0 : it->second.outstanding;
}

int SuiteRegistry::acquired(const std::string& name, int32_t version) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = suites_.find(Key{name, version});
    return it == suites_.end() ? 0 : it->second.acquired;
}

int SuiteRegistry::outstandingTotal() const {
    std::lock_guard<std::mutex> lock(mutex_);
    int total = 0;
    for (const auto& [key, entry] : suites_) total += entry.outstanding;
    return total;
}

int SuiteRegistry::unbalancedReleases() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return unbalanced_;
}

SPErr SuiteRegistry::acquire(const char* name, int32_t version, const void** suite) {
    if (name == nullptr || suite == nullptr) return kSPBadParameterError;
    if (const A_Err fault = SuiteFaults::instance().check("AcquireSuite"); fault != A_Err_NONE) return fault;
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = suites_.find(Key{name, version});
    if (it == suites_.end() || it->second.table == nullptr) return kSPSuiteNotFoundError;
    ++it->second.outstanding;
    ++it->second.acquired;
    *suite = it->second.table;
    return kSPNoError;
}

SPErr SuiteRegistry::release(const char* name, int32_t version) {
    if (name == nullptr) return kSPBadParameterError;
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = suites_.find(Key{name, version});
    if (it == suites_.end()) {
        // A suite the host never offered cannot have been acquired.
        ++unbalanced_;
        return kSPSuiteNotFoundError;
    }
    if (it->second.outstanding == 0) {
        ++unbalanced_;
        return kSPBadParameterError;
    }
    --it->second.outstanding;
    return kSPNoError;
}

}  // namespace qlo::hostsim
