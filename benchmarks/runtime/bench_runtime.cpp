// benchmarks/runtime/bench_runtime.cpp: LinkedList insert+remove per item against std::list,
// and BlockPool take+return against malloc/free.
//
// The list case is the engine's per-frame draw queue: append N records, then delete them all
// from the front. Time is reported per item (items_per_second).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <list>
#include <vector>

#include "runtime/block_pool.h"
#include "runtime/heap.h"
#include "runtime/list.h"

namespace {

struct DrawCommand {  // the size of a typical queued sprite draw
    void* sprite;
    float x, y, scaleX, scaleY, depth;
    int frame;
    unsigned colour;
};

// With "resident" set, one item stays in a second list of the same size for the whole run, so
// the pool's first chunk is never released: the steady state of an engine that keeps sprites
// while its draw queues fill and drain.
void ListInsertRemove(benchmark::State& state, bool resident) {
    const auto n = static_cast<int>(state.range(0));
    runtime::ListVariable var{};
    runtime::LinkedList* list = runtime::CreateLinkedList(sizeof(DrawCommand), &var, nullptr, 0);
    runtime::LinkedList* keep = runtime::CreateLinkedList(sizeof(DrawCommand), nullptr, nullptr, 0);
    if (resident) runtime::InsertListItem(keep);
    for (auto _ : state) {
        for (int i = 0; i < n; ++i) {
            auto* c = static_cast<DrawCommand*>(runtime::InsertListItem(list));
            c->frame = i;
            benchmark::DoNotOptimize(c);
        }
        runtime::GoToFirstItem(list);
        for (int i = 0; i < n; ++i) runtime::RemoveListItem(list, runtime::kRemoveKeepsSuccessorCurrent);
    }
    if (runtime::CountListItems(list) != 0) state.SkipWithError("list not empty");
    runtime::DestroyLinkedList(list);
    runtime::DestroyLinkedList(keep);
    state.SetItemsProcessed(state.iterations() * n);
}
void BM_LinkedListInsertRemove(benchmark::State& state) { ListInsertRemove(state, false); }
void BM_LinkedListInsertRemoveResident(benchmark::State& state) { ListInsertRemove(state, true); }
BENCHMARK(BM_LinkedListInsertRemove)->Range(16, 4096);
BENCHMARK(BM_LinkedListInsertRemoveResident)->Range(16, 4096);

void BM_StdListInsertRemove(benchmark::State& state) {
    const auto n = static_cast<int>(state.range(0));
    std::list<DrawCommand> list;
    for (auto _ : state) {
        for (int i = 0; i < n; ++i) {
            DrawCommand& c = list.emplace_back();
            c.frame = i;
            benchmark::DoNotOptimize(&c);
        }
        for (int i = 0; i < n; ++i) list.pop_front();
    }
    if (!list.empty()) state.SkipWithError("list not empty");
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_StdListInsertRemove)->Range(16, 4096);

// Take "n" blocks, then return them all, as a queue that fills and drains every frame.
// With "resident" set, one block stays taken, so the first chunk is never released.
void PoolTakeReturn(benchmark::State& state, bool resident) {
    const auto n = static_cast<std::size_t>(state.range(0));
    runtime::BlockPool* pool = runtime::CreateBlockPool(32, 16, 256, 0);
    void* kept = resident ? runtime::TakeBlock(pool) : nullptr;
    std::vector<void*> blocks(n);
    for (auto _ : state) {
        for (auto& b : blocks) b = runtime::TakeBlock(pool);
        benchmark::DoNotOptimize(blocks.data());
        for (void* b : blocks) runtime::ReturnBlock(pool, b);
    }
    runtime::ReturnBlock(pool, kept);
    runtime::DestroyBlockPool(pool);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}
void BM_BlockPoolTakeReturn(benchmark::State& state) { PoolTakeReturn(state, false); }
void BM_BlockPoolTakeReturnResident(benchmark::State& state) { PoolTakeReturn(state, true); }
BENCHMARK(BM_BlockPoolTakeReturn)->Range(1, 4096);
BENCHMARK(BM_BlockPoolTakeReturnResident)->Range(1, 4096);

void BM_MallocFree(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    std::vector<void*> blocks(n);
    for (auto _ : state) {
        for (auto& b : blocks) b = std::malloc(32);
        benchmark::DoNotOptimize(blocks.data());
        for (void* b : blocks) std::free(b);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}
BENCHMARK(BM_MallocFree)->Range(1, 4096);

}  // namespace

int main(int argc, char** argv) {
    // Lists and pools live on the runtime heap; nothing else of the start-up chain is needed.
    if (!runtime::CreateRuntimeHeap()) return 1;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    runtime::DestroyRuntimeHeap();
    return 0;
}
