// The C++ heap of the Linux programs (tarvik, tarvikc), linked into them
// alone: neither the libraries nor the tests use it.
//
// A launch makes about a hundred small allocations (the settings, paths, the
// child's words) and ends or waits. Served by malloc, each cost more than
// the work it was made for, the first of each size most; here they come one
// after the other from a fixed arena, and what is given back to the arena
// stays there unused: the process is short, or waits with what it made.
// Past the arena, and for whatever the arena cannot hold, malloc serves as
// it always did. Pages of the arena never written take no memory.
#ifdef _WIN32
#error "PosixProgramHeap.cpp is for POSIX builds only"
#endif

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

constexpr std::size_t ARENA_BYTES = 64 * 1024;
// What operator new promises for every size.
constexpr std::size_t ALIGNMENT = __STDCPP_DEFAULT_NEW_ALIGNMENT__;

alignas(ALIGNMENT) unsigned char arena[ARENA_BYTES];
// The bytes handed out; past ARENA_BYTES once the arena is used up. Atomic:
// an in-process VM's main thread runs the launcher's code too.
std::atomic<std::size_t> arenaUsed{0};

bool inArena(const void* p) {
  const unsigned char* byte = static_cast<const unsigned char*>(p);
  return byte >= arena && byte < arena + ARENA_BYTES;
}

void* fromMalloc(std::size_t size) {
  for (;;) {
    if (void* p = std::malloc(size ? size : 1)) return p;
    std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
  }
}

}  // namespace

void* operator new(std::size_t size) {
  // Every allocation a distinct address, aligned as malloc's are.
  const std::size_t rounded =
      size == 0 ? ALIGNMENT : (size + ALIGNMENT - 1) & ~(ALIGNMENT - 1);
  if (rounded >= size && rounded <= ARENA_BYTES &&
      arenaUsed.load(std::memory_order_relaxed) <= ARENA_BYTES - rounded) {
    const std::size_t at = arenaUsed.fetch_add(rounded, std::memory_order_relaxed);
    if (at <= ARENA_BYTES - rounded) return arena + at;
  }
  return fromMalloc(size);
}

void operator delete(void* p) noexcept {
  if (!inArena(p)) std::free(p);
}

void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
