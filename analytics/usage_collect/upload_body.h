// The upload body of one batch: gzip (level 9, window bits 31), Base64 and
// percent-encoding, framed as "data_list=...&gzip=1".
#pragma once

#include <string>

namespace usage_collect {

// Compresses |data| into the gzip format. False (with the zlib message on
// standard error) when compression fails.
bool GzipCompress(const std::string& data, std::string& out);

// Standard alphabet, "=" padding, no line breaks.
std::string Base64Encode(const std::string& data);

// Letters, digits and "-._~" stay; every other byte becomes "%XX".
std::string PercentEncode(const std::string& text);

// "data_list=" + PercentEncode(Base64Encode(gzip(json))) + "&gzip=1"; false
// when compression fails.
bool BuildUploadBody(const std::string& json, std::string& body);

}  // namespace usage_collect
