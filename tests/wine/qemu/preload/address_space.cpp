// Wine's address space under qemu-i386. Debian's i386 Wine comes without its preloader, the
// program that reserves, before anything else is mapped, the ranges Wine must own: the low
// area where Windows images load and the top of the 2 GiB space (shared user data at
// 0x7ffe0000, the virtual heap). Without it ntdll reserves them itself with
// MAP_FIXED_NOREPLACE, which qemu 7.2 does not honour, and gives up after trying: "failed to
// map the shared user data" (c0000018). This does the preloader's part from a constructor,
// after qemu has placed the libraries: every free gap of the two ranges is reserved, and the
// list goes to ntdll through the wine_main_preload_info pointer the wine binary exports, the
// way the preloader hands it over (ntdll's virtual_init reads it with dlsym).
#include <dlfcn.h>
#include <fcntl.h>
#include <stddef.h>
#include <stdint.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// The layout of Wine's struct wine_preload_info: a list ended by a zero size.
struct PreloadArea {
  void* address;
  size_t size;
};

struct Range {
  uintptr_t begin, end;
};

// The preloader's i386 ranges, less the first 64 KiB, which qemu keeps from the guest.
constexpr Range kWineRanges[] = {{0x00010000, 0x68000000}, {0x7f000000, 0x82000000}};
constexpr int kMaxAreas = 64;
constexpr int kMaxMappings = 512;

PreloadArea areas[kMaxAreas + 1];
int areaCount;
Range mappings[kMaxMappings];
int mappingCount;

// Reads a hexadecimal number at *text, moving past it.
uintptr_t ReadHex(const char*& text) {
  uintptr_t value = 0;
  for (;; ++text) {
    const char c = *text;
    if (c >= '0' && c <= '9') {
      value = value * 16 + static_cast<uintptr_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      value = value * 16 + static_cast<uintptr_t>(c - 'a' + 10);
    } else {
      return value;
    }
  }
}

// The guest's mappings, from qemu's rendering of /proc/self/maps ("begin-end perms ..."), in
// ascending order. False when the file cannot be read whole.
bool ReadMappings() {
  static char text[64 * 1024];
  const int fd = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  size_t used = 0;
  for (;;) {
    if (used == sizeof text - 1) {
      close(fd);
      return false;
    }
    const ssize_t got = read(fd, text + used, sizeof text - 1 - used);
    if (got < 0) {
      close(fd);
      return false;
    }
    if (got == 0) break;
    used += static_cast<size_t>(got);
  }
  close(fd);
  text[used] = '\0';
  for (const char* line = text; *line != '\0' && mappingCount < kMaxMappings;) {
    Range range;
    range.begin = ReadHex(line);
    if (*line != '-') return false;
    ++line;
    range.end = ReadHex(line);
    mappings[mappingCount++] = range;
    while (*line != '\0' && *line != '\n') ++line;
    if (*line == '\n') ++line;
  }
  return true;
}

// Reserves [begin, end) if nothing is there; qemu places a hinted mapping at its hint when
// the space is free.
void ReserveGap(uintptr_t begin, uintptr_t end) {
  if (begin >= end || areaCount == kMaxAreas) return;
  void* const wanted = reinterpret_cast<void*>(begin);
  const size_t size = end - begin;
  void* const got =
      mmap(wanted, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (got == MAP_FAILED) return;
  if (got != wanted) {
    munmap(got, size);
    return;
  }
  areas[areaCount].address = wanted;
  areas[areaCount].size = size;
  ++areaCount;
}

void ReserveFreeParts(const Range& range) {
  uintptr_t cursor = range.begin;
  for (int i = 0; i < mappingCount && cursor < range.end; ++i) {
    const Range& used = mappings[i];
    if (used.end <= cursor) continue;
    if (used.begin >= range.end) break;
    ReserveGap(cursor, used.begin < range.end ? used.begin : range.end);
    cursor = used.end;
  }
  ReserveGap(cursor, range.end);
}

__attribute__((constructor)) void ReserveWineAddressSpace() {
  // Only the wine binary exports the pointer: other i386 programs started under the same
  // environment keep their address space as it is.
  auto* const preloadInfo =
      static_cast<const PreloadArea**>(dlsym(RTLD_DEFAULT, "wine_main_preload_info"));
  if (preloadInfo == nullptr || *preloadInfo != nullptr || !ReadMappings()) return;
  for (const Range& range : kWineRanges) ReserveFreeParts(range);
  *preloadInfo = areas;
}

}  // namespace
