// The memory of one Duktape heap: every block is linked into a list, so that the whole heap can
// be given back at once when a script is cut off in the middle of the engine's work (its own
// structures are then not consistent enough to be destroyed the ordinary way), and the bytes in
// use are bounded.
#pragma once

#include <cstddef>

namespace qlo::hostsim::script {

class TrackedHeap {
public:
    explicit TrackedHeap(size_t limitBytes);
    // Gives back every block still allocated.
    ~TrackedHeap();
    TrackedHeap(const TrackedHeap&) = delete;
    TrackedHeap& operator=(const TrackedHeap&) = delete;

    // Duktape's allocation functions; udata is the TrackedHeap. An allocation that would pass
    // the limit fails (null), which Duktape reports to the script as an out-of-memory error.
    static void* Alloc(void* udata, size_t size);
    static void* Realloc(void* udata, void* ptr, size_t size);
    static void Free(void* udata, void* ptr);

    size_t bytesInUse() const { return used_; }
    size_t blocks() const { return blocks_; }
    // Frees every block (the heap is abandoned; nothing may use its memory afterwards).
    void releaseAll();

private:
    struct alignas(alignof(std::max_align_t)) Block {
        Block* prev;
        Block* next;
        size_t size;
    };
    void link(Block* block);
    void unlink(Block* block);

    Block head_;
    size_t used_ = 0;
    size_t blocks_ = 0;
    size_t limit_;
};

}  // namespace qlo::hostsim::script
