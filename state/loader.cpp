// The loader thread: the jobs of one script in order, the results waiting for their lines under
// the memory cap, and the hand-over at each line.
#include "state/loader.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

enum ItemState {
    ITEM_QUEUED,    // not started, or set aside until there is room for it
    ITEM_PREPARING, // on the loader thread now
    ITEM_READY,     // waiting for its line
    ITEM_LEFT,      // nothing made: its line loads on the spot
    ITEM_DONE,      // taken, discarded or dropped
};

struct LoaderItem {
    LoaderJob job;
    ItemState state = ITEM_QUEUED;
    void *data = nullptr;
    size_t bytes = 0;      // what data holds, counted against the cap while it waits
    size_t need = 0;       // bytes it held when set aside for want of room
    EngineFileStamp stamp; // the file as it was read; size -2: it changed while being read
};

struct LoaderState {
    std::array<LoaderItem, LOADER_MAX_JOBS> items;
    int count = 0;
    size_t held = 0;               // bytes of results waiting for their lines
    size_t cap = LOADER_DEFAULT_CAP;
    bool running = false;          // a thread was started and not yet stopped
    bool stopping = false;
    LoaderStats stats;
    LoaderThreadHook enter = nullptr, leave = nullptr;
    std::mutex mutex;
    std::condition_variable changed;
    std::thread thread;
};
LoaderState loader;

// A result is never larger than the cap, so with nothing waiting there is always room.
bool hasRoom(const LoaderItem &item) { return loader.held + std::max(item.need, size_t(1)) <= loader.cap; }

// One job, from its turn to its result waiting (or left to its line). Called with the lock held;
// the file is read and decoded without it.
void prepareItem(std::unique_lock<std::mutex> &lock, LoaderItem &item) {
    for (;;) {
        loader.changed.wait(lock, [&] { return loader.stopping || item.state != ITEM_QUEUED || hasRoom(item); });
        if (loader.stopping || item.state != ITEM_QUEUED) return;
        item.state = ITEM_PREPARING;
        const LoaderJob job = item.job;
        lock.unlock();
        const EngineFileStamp before = engine_FileStamp(job.path);
        size_t bytes = 0;
        void *data = job.kind->prepare(job.path, job.variant, &bytes);
        EngineFileStamp after = engine_FileStamp(job.path);
        if (!(before == after)) after.size = -2; // never matches: its line reads it again
        lock.lock();
        if (!data || bytes > loader.cap) {
            if (data) job.kind->discard(data);
            item.state = ITEM_LEFT;
            loader.stats.left++;
        } else if (loader.held > 0 && loader.held + bytes > loader.cap) {
            // Holding it would pass the cap: it is made again once lines have taken enough.
            job.kind->discard(data);
            item.need = bytes;
            item.state = ITEM_QUEUED;
            continue;
        } else {
            item.data = data;
            item.bytes = bytes;
            item.stamp = after;
            item.state = ITEM_READY;
            loader.held += bytes;
            loader.stats.made++;
            loader.stats.peakHeld = std::max(loader.stats.peakHeld, loader.held);
        }
        loader.changed.notify_all();
        return;
    }
}

void threadMain() {
    if (loader.enter) loader.enter();
    std::unique_lock<std::mutex> lock(loader.mutex);
    for (int i = 0; i < loader.count && !loader.stopping; ++i) prepareItem(lock, loader.items[size_t(i)]);
    lock.unlock();
    if (loader.leave) loader.leave();
}

// Called with the lock held.
void discardItem(LoaderItem &item) {
    if (item.state == ITEM_READY) {
        item.job.kind->discard(item.data);
        loader.held -= item.bytes;
    }
    item.data = nullptr;
    item.state = ITEM_DONE;
}

} // namespace

void loader_Start(const LoaderJob *jobs, int count, LoaderThreadHook enter, LoaderThreadHook leave) {
    loader_Stop();
    std::lock_guard<std::mutex> guard(loader.mutex);
    loader.count = std::min(std::max(count, 0), LOADER_MAX_JOBS);
    for (int i = 0; i < loader.count; ++i) {
        loader.items[size_t(i)] = LoaderItem();
        loader.items[size_t(i)].job = jobs[i];
    }
    loader.held = 0;
    loader.stats = LoaderStats();
    loader.stopping = false;
    loader.enter = enter;
    loader.leave = leave;
    loader.running = true;
    loader.thread = std::thread(threadMain);
}

void loader_Stop() {
    if (!loader.running) return;
    {
        std::lock_guard<std::mutex> guard(loader.mutex);
        loader.stopping = true;
    }
    loader.changed.notify_all();
    loader.thread.join();
    std::lock_guard<std::mutex> guard(loader.mutex);
    for (int i = 0; i < loader.count; ++i) discardItem(loader.items[size_t(i)]);
    loader.count = 0;
    loader.running = false;
}

void *loader_Take(int line, const LoaderKind *kind, const char *path, int variant) {
    std::unique_lock<std::mutex> lock(loader.mutex);
    if (!loader.running) return nullptr;
    LoaderItem *found = nullptr;
    for (int i = 0; i < loader.count && !found; ++i)
        if (loader.items[size_t(i)].job.line == line) found = &loader.items[size_t(i)];
    for (;;) {
        // Lines run once, in order: what earlier lines did not take, nothing will (and it would
        // hold room this line's file may be waiting for).
        for (int i = 0; i < loader.count; ++i) {
            LoaderItem &item = loader.items[size_t(i)];
            if (item.job.line < line && (item.state == ITEM_QUEUED || item.state == ITEM_READY)) discardItem(item);
        }
        loader.changed.notify_all();
        if (!found || (found->state != ITEM_QUEUED && found->state != ITEM_PREPARING)) break;
        loader.changed.wait(lock);
    }
    if (!found) return nullptr;
    LoaderItem &item = *found;
    if (item.state != ITEM_READY) return nullptr;
    const bool same = item.job.kind == kind && item.job.variant == variant && strcmp(item.job.path, path) == 0 &&
                      engine_FileStamp(path) == item.stamp;
    void *data = item.data;
    if (!same) {
        discardItem(item);
        data = nullptr;
    } else {
        loader.held -= item.bytes;
        item.data = nullptr;
        item.state = ITEM_DONE;
        loader.stats.taken++;
    }
    loader.changed.notify_all();
    return data;
}

void loader_SetCap(size_t bytes) {
    std::lock_guard<std::mutex> guard(loader.mutex);
    loader.cap = bytes;
    loader.changed.notify_all();
}

LoaderStats loader_Stats() {
    std::lock_guard<std::mutex> guard(loader.mutex);
    return loader.stats;
}
