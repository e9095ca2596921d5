// The report channel of every pipeline stage: a code, a value and a wide text.
// Stages call it on their own worker threads; the text lives only for the call.
#pragma once

#include <cstdint>
#include <functional>

using StageCallback = std::function<void(int32_t code, double value, const wchar_t* text)>;
