#include "string_table.h"

#include <iterator>

#include "manifest/message_ids.h"
#include "messages.h"

namespace emu {

// The exe's texts are ASCII, which Windows-1252 keeps as they are.
const StringResource kStringTable[] = {
    {IDS_CAPTION, IDS_CAPTION_TEXT},
    {IDS_CONFIRM, IDS_CONFIRM_TEXT},
    {IDS_INTERNAL_ERROR, IDS_INTERNAL_ERROR_TEXT},
    {IDS_STILL_RUNNING, IDS_STILL_RUNNING_TEXT},
    {IDS_SUCCESS, IDS_SUCCESS_TEXT},
};
const std::size_t kStringTableSize = std::size(kStringTable);

}  // namespace emu
