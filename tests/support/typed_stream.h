// The archived attributed string the phone stores next to a message's text
// (OS 6 `attributedBody`, OS 5 `madrid_attributedBody`): a typed stream that
// holds the text once more plus the attribute dictionary. Readers of this
// project never decode it; its length matters, since it is over 57 bytes and
// so takes a two-byte serial type in the record header.
#pragma once

#include <string_view>

#include "support/file_bytes.h"

namespace marlowen::fixture {

Bytes attributedBodyBlob(std::string_view text);

}  // namespace marlowen::fixture
