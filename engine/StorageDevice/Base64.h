#pragma once

#include <optional>
#include <string_view>
#include <vector>

// Decodes base64 text, skipping white space (property lists wrap their data
// lines); nullopt on any other character or a broken group.
std::optional<std::vector<uint8_t>> DecodeBase64(std::string_view text);
