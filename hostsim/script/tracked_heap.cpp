#include "hostsim/script/tracked_heap.h"

#include <cstdlib>

namespace qlo::hostsim::script {

TrackedHeap::TrackedHeap(size_t limitBytes) : head_{&head_, &head_, 0}, limit_(limitBytes) {}

TrackedHeap::~TrackedHeap() {
    releaseAll();
}

void TrackedHeap::link(Block* block) {
    block->prev = &head_;
    block->next = head_.next;
    head_.next->prev = block;
    head_.next = block;
    used_ += block->size;
    ++blocks_;
}

void TrackedHeap::unlink(Block* block) {
    block->prev->next = block->next;
    block->next->prev = block->prev;
    used_ -= block->size;
    --blocks_;
}

void* TrackedHeap::Alloc(void* udata, size_t size) {
    auto* heap = static_cast<TrackedHeap*>(udata);
    if (heap->used_ > heap->limit_ || size > heap->limit_ - heap->used_) return nullptr;
    auto* block = static_cast<Block*>(std::malloc(sizeof(Block) + size));
    if (block == nullptr) return nullptr;
    block->size = size;
    heap->link(block);
    return block + 1;
}

void* TrackedHeap::Realloc(void* udata, void* ptr, size_t size) {
    auto* heap = static_cast<TrackedHeap*>(udata);
    if (ptr == nullptr) return Alloc(udata, size);
    if (size == 0) {
        Free(udata, ptr);
        return nullptr;
    }
    Block* block = static_cast<Block*>(ptr) - 1;
    const size_t usedWithout = heap->used_ - block->size;
    if (size > heap->limit_ || usedWithout > heap->limit_ - size) return nullptr;
    heap->unlink(block);
    auto* moved = static_cast<Block*>(std::realloc(block, sizeof(Block) + size));
    if (moved == nullptr) {
        heap->link(block);  // realloc failed: the old block is still valid
        return nullptr;
    }
    moved->size = size;
    heap->link(moved);
    return moved + 1;
}

void TrackedHeap::Free(void* udata, void* ptr) {
    if (ptr == nullptr) return;
    auto* heap = static_cast<TrackedHeap*>(udata);
    Block* block = static_cast<Block*>(ptr) - 1;
    heap->unlink(block);
    std::free(block);
}

void TrackedHeap::releaseAll() {
    Block* block = head_.next;
    while (block != &head_) {
        Block* next = block->next;
        std::free(block);
        block = next;
    }
    head_.next = head_.prev = &head_;
    used_ = 0;
    blocks_ = 0;
}

}  // namespace qlo::hostsim::script
