// The downloaders as stand-alone commands for the download benchmark
// (download_bench.sh), and the nginx it measures them against.
//
//   download_bench serve <folder> <limit_rate|0> <redirect target>
//       starts nginx serving <folder>, prints its base URL, and stops it when
//       standard input closes
//   download_bench get <DownloadType> <url> <destination>
//       downloads with the downloader of that type (the owner's restart on
//       DL_CODE_RETRY included) and prints "<final code> <value>"
#include <curl/curl.h>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <mutex>
#include <string>

#include "download/downloader.h"
#include "test_servers.h"
#include "utils/text.h"

namespace {

int Serve(const std::string& folder, const std::string& rate, const std::string& redirect) {
  vantelo_testing::NginxServer::Options options;
  if (rate != "0") options.limit_rate = rate;
  options.redirect_target = redirect;
  std::string error;
  auto nginx = vantelo_testing::NginxServer::Start(folder, options, &error);
  if (!nginx) {
    std::cerr << "download_bench: " << error << "\n";
    return 1;
  }
  std::cout << nginx->BaseUrl() << std::endl;
  std::string line;
  while (std::getline(std::cin, line)) {
  }
  return 0;
}

int Get(int type, const std::string& url, const std::string& destination) {
  std::mutex mutex;
  std::condition_variable done;
  int32_t final_code = 0;
  double final_value = 0.0;
  std::unique_ptr<CDownloader> downloader;
  auto callback = [&](int32_t code, double value, const wchar_t*) {
    if (code == DL_CODE_RETRY) {
      downloader->Start();
      return;
    }
    if (code != DL_CODE_SUCCESS && code != DL_CODE_FAIL) return;
    std::lock_guard<std::mutex> lock(mutex);
    final_code = code;
    final_value = value;
    done.notify_all();
  };
  downloader = CreateDownloader(type, callback, Utils::Utf8ToWide(url), Utils::Utf8ToWide(destination));
  downloader->Start();
  {
    std::unique_lock<std::mutex> lock(mutex);
    done.wait(lock, [&] { return final_code != 0; });
  }
  downloader.reset();
  std::printf("%d %.0f\n", final_code, final_value);
  return final_code == DL_CODE_SUCCESS ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  int status = 2;
  if (argc == 5 && std::strcmp(argv[1], "serve") == 0)
    status = Serve(argv[2], argv[3], argv[4]);
  else if (argc == 5 && std::strcmp(argv[1], "get") == 0)
    status = Get(std::atoi(argv[2]), argv[3], argv[4]);
  else
    std::cerr << "usage: download_bench serve <folder> <rate|0> <redirect> | get <type> <url> <file>\n";
  curl_global_cleanup();
  return status;
}
