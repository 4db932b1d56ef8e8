// ADVAPI32's imports: the registry, with handles and sizes translated for the guest.
#include "import_table.h"

namespace runner {
namespace {

std::uint64_t Status(LONG status) {
  return static_cast<std::uint32_t>(status);
}

HKEY Key(BridgeCall& call, int index) {
  return static_cast<HKEY>(call.Handle(index));
}

std::uint64_t RegOpenKeyRow(BridgeCall& call) {
  std::uint64_t resultAt = call.Arg(2);
  HKEY opened = resultAt ? static_cast<HKEY>(call.HostHandle(call.cpu().Pointer(resultAt))) : NULL;
  LONG status = ::RegOpenKeyA(Key(call, 0), Text(call.String(1)), resultAt ? &opened : nullptr);
  if (resultAt) call.cpu().WritePointer(resultAt, call.GuestHandle(opened));
  return Status(status);
}

// The data buffer is as large as the size the guest passes in; a negative LONG is no size.
std::uint64_t RegQueryValueRow(BridgeCall& call) {
  GuestDword size(call.cpu(), call.Arg(3));
  LONG capacity = size.get() ? static_cast<LONG>(size.value()) : 0;
  GuestBuffer data(call.cpu(), call.Arg(2),
                   capacity > 0 ? static_cast<std::uint64_t>(capacity) : 0);
  LONG status =
      ::RegQueryValueA(Key(call, 0), Text(call.String(1)), data.chars(), size.signedValue());
  data.WriteBack();
  size.WriteBack();
  return Status(status);
}

std::uint64_t RegQueryValueExRow(BridgeCall& call) {
  GuestDword reserved(call.cpu(), call.Arg(2));
  GuestDword type(call.cpu(), call.Arg(3));
  GuestDword size(call.cpu(), call.Arg(5));
  GuestBuffer data(call.cpu(), call.Arg(4), size.get() ? size.value() : 0);
  LONG status = ::RegQueryValueExA(Key(call, 0), Text(call.String(1)), reserved.get(), type.get(),
                                   data.bytes(), size.get());
  data.WriteBack();
  type.WriteBack();
  size.WriteBack();
  return Status(status);
}

const HandWritten kHandlers[] = {
    {"RegOpenKeyA", RegOpenKeyRow},
    {"RegQueryValueA", RegQueryValueRow},
    {"RegQueryValueExA", RegQueryValueExRow},
};

}  // namespace

std::span<const HandWritten> Advapi32Handlers() {
  return kHandlers;
}

}  // namespace runner
