// Handlers derived from an emulated function's type: each parameter read from the guest as
// its type says, the function called, buffers written back and the result handed over. A
// parameter type without a reading here (a structure, a multi-string, a pointer the function
// writes through) leaves the function to a handler written by hand.
#pragma once

#include <concepts>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

#include "bridge_call.h"

namespace runner::derived {

template <class T>
concept Handle = std::same_as<T, HANDLE> || std::same_as<T, HKEY> || std::same_as<T, HMODULE> ||
    std::same_as<T, HWND> || std::same_as<T, HMENU>;

// How a parameter of type T is read; `capacity` is the argument that sizes a buffer.
template <class T>
struct GuestValue;

template <>
struct GuestValue<const char*> {
  GuestValue(BridgeCall& call, int at, int) : text(call.String(at)) {}
  const char* get() const { return Text(text); }
  void WriteBack() {}
  std::optional<std::string> text;  // NULL stays NULL
};

template <std::integral T>  // DWORD and UINT; BOOL, LONG and int
struct GuestValue<T> {
  GuestValue(BridgeCall& call, int at, int) : value(static_cast<T>(call.U32(at))) {}
  T get() const { return value; }
  void WriteBack() {}
  T value;
};

template <Handle T>
struct GuestValue<T> {
  GuestValue(BridgeCall& call, int at, int) : value(static_cast<T>(call.Handle(at))) {}
  T get() const { return value; }
  void WriteBack() {}
  T value;
};

// A buffer the function fills, as large as the count beside it says, in bytes: Win32 passes
// the capacity right after the buffer, or right before it where the buffer comes last.
template <>
struct GuestValue<char*> {
  GuestValue(BridgeCall& call, int at, int capacity)
      : buffer(call.cpu(), call.Arg(at), call.U32(capacity)) {}
  char* get() { return buffer.chars(); }
  void WriteBack() { buffer.WriteBack(); }
  GuestBuffer buffer;
};

template <class... A>
constexpr int CapacityOf(int at) {
  constexpr bool kCount[] = {std::is_same_v<A, DWORD>..., false};
  constexpr int kArguments = sizeof...(A);
  if (at + 1 < kArguments && kCount[at + 1]) return at + 1;
  if (at == kArguments - 1 && at > 0 && kCount[at - 1]) return at - 1;
  return -1;
}

template <class T>
concept Readable = requires {
  sizeof(GuestValue<T>);
};

template <class R>
concept Returnable = std::is_void_v<R> || std::integral<R> || Handle<R>;

template <class R, class... A, std::size_t... I>
constexpr bool DerivableAt(std::index_sequence<I...>) {
  return Returnable<R> && (Readable<A> && ...) &&
         ((!std::is_same_v<A, char*> || CapacityOf<A...>(static_cast<int>(I)) >= 0) && ...);
}

template <class F>
struct Signature;
template <class R, class... A>
struct Signature<R(A...)> {
  static constexpr int kArguments = sizeof...(A);
  static constexpr bool kCdecl = false;
  static constexpr bool kDerivable = DerivableAt<R, A...>(std::index_sequence_for<A...>{});
};
// Variadic: the caller pops, and what the variadic part holds only the format can tell.
template <class R, class... A>
struct Signature<R(A..., ...)> {
  static constexpr int kArguments = sizeof...(A);
  static constexpr bool kCdecl = true;
  static constexpr bool kDerivable = false;
};

template <class R, class... A, std::size_t... I>
std::uint64_t Call(BridgeCall& call, R (*function)(A...), std::index_sequence<I...>) {
  std::tuple<GuestValue<A>...> in{
      GuestValue<A>(call, static_cast<int>(I), CapacityOf<A...>(static_cast<int>(I)))...};
  if constexpr (std::is_void_v<R>) {
    function(std::get<I>(in).get()...);
    (std::get<I>(in).WriteBack(), ...);
    return 0;
  } else {
    R result = function(std::get<I>(in).get()...);
    (std::get<I>(in).WriteBack(), ...);
    if constexpr (Handle<R>) {
      return call.GuestHandle(result);
    } else {
      return static_cast<std::uint32_t>(result);
    }
  }
}

template <auto F>
std::uint64_t Imported(BridgeCall& call) {
  return Call(
      call, F,
      std::make_index_sequence<Signature<std::remove_pointer_t<decltype(F)>>::kArguments>{});
}

// A function only GetProcAddress hands out: the emulator's function is the one it found.
template <class F>
std::uint64_t Found(BridgeCall& call) {
  if (!call.hostFunction()) throw GuestFault("a function of GetProcAddress's bound as an import");
  auto* function = reinterpret_cast<F*>(reinterpret_cast<void (*)()>(call.hostFunction()));
  return Call(call, function, std::make_index_sequence<Signature<F>::kArguments>{});
}

}  // namespace runner::derived
