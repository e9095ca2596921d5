// The report codes of the package run and of the previous-version uninstall.
// The download stage has its own (1001 to 1006) in the download layer.
#pragma once

#include <cstdint>

// Package run.
constexpr int32_t IST_CODE_START = 2001;
constexpr int32_t IST_CODE_PROGRESS = 2002;
constexpr int32_t IST_CODE_SUCCESS = 2003;
constexpr int32_t IST_CODE_FAIL = 2004;

// Values the package run reports, taken from its console protocol.
constexpr int32_t IST_INFO_INSTALL_PATH = 3000;
constexpr int32_t IST_INFO_EXE_PATH = 3001;
constexpr int32_t IST_INFO_UNINSTALL_EXE = 3002;
constexpr int32_t IST_INFO_UNINSTALL_EP = 3003;
constexpr int32_t IST_INFO_START_URL = 3004;
constexpr int32_t IST_INFO_STARTUP_STYLE = 3005;
constexpr int32_t IST_INFO_TOP_SHOW_DETENTION = 3007;
constexpr int32_t IST_INFO_FINISH_CLOSE_DETENTION = 3008;
constexpr int32_t IST_INFO_MESSAGE = 3009;

// Previous-version uninstall.
constexpr int32_t UNIST_CODE_PROGRESS = 5002;
constexpr int32_t UNIST_CODE_SUCCESS = 5003;
constexpr int32_t UNIST_CODE_FAIL = 5004;
constexpr int32_t UNIST_CODE_ERROR = 5005;

// Values of IST_CODE_FAIL and UNIST_CODE_FAIL.
constexpr double kFailValueProtocol = 0;     // IST: "State=Fail"
constexpr double kFailValueMissing = 1;      // UNIST: no uninstaller copy
constexpr double kFailValueStart = 2;        // pipes or child could not be made
constexpr double kFailValueError = 1000;     // IST: an "Error=" line

// Values of IST_CODE_SUCCESS and UNIST_CODE_SUCCESS.
constexpr double kSuccessValueState = 0;     // a "State=Success" line
constexpr double kSuccessValueEnded = 1;     // the child ended without a final state
