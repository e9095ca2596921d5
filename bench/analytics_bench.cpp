// Analytics costs, printed as "key value" lines for bench/analytics_bench.sh:
//   analytics_bench records THREADS COUNT      records built and queued per second
//   analytics_bench batch OUT_FILE ROUNDS      writes one 30-record batch body and
//                                               times its gzip compression
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "usage_collect/sdk.h"
#include "usage_collect/upload_body.h"
#include "usage_collect/value_node.h"

using usage_collect::PropertiesNode;
using usage_collect::Sdk;

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Properties like those of an installer task event, plus the preset ones.
PropertiesNode TaskProperties(int n) {
  PropertiesNode p;
  p.SetString("kv_task_name", "\xE4\xB8\x8B\xE8\xBD\xBD\xE5\xA4\xB1\xE8\xB4\xA5\xE5\x8E\x9F\xE5\x9B\xA0");
  p.SetString("kv_reason", "1.code=28; 2.msg=Timeout was reached; n=" + std::to_string(n));
  p.SetNumber("kv_task_elapsed", 12.5);
  p.SetString("kv_task_result", "Success");
  p.SetBool("$is_first_time", true);
  p.SetString("kvc_ab", "IN");
  return p;
}

PropertiesNode Presets() {
  PropertiesNode p;
  const char* texts[][2] = {{"kv_app_id", "VanteloPDFconverter.downloader"},
                            {"$app_id", "VanteloPDFconverter.downloader"},
                            {"$app_version", "1.7.9"},
                            {"kv_app_store", "VanteloSetup.exe"},
                            {"kv_edition", "china"},
                            {"kv_dlapp_id", "VanteloPDFconverter"},
                            {"kv_app_platform", "Windows"},
                            {"kv_track_type", "Client"},
                            {"kv_sdk_version", "3.3.8"},
                            {"kv_sdk", "WindowsCPP"},
                            {"$os", "Windows"},
                            {"$os_version", "10"},
                            {"kv_l10n_locale", "zh_CN"},
                            {"kv_l10n_language", "zh"},
                            {"kv_l10n_country", "CN"}};
  for (auto& t : texts) p.SetString(t[0], t[1]);
  p.SetInt("$screen_width", 1920);
  p.SetInt("$screen_height", 1080);
  return p;
}

int Records(int threads, int count) {
  // No server: the queue keeps the newest 1024, so memory stays bounded.
  Sdk::Init("", "http://127.0.0.1:9/unused", "00000000-0000-4000-8000-000000000000", false);
  Sdk::RegisterSuperProperties(Presets());
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t)
    workers.emplace_back([count, t] {
      for (int i = 0; i < count; ++i) Sdk::Track("KvEventTask", TaskProperties(t * count + i));
    });
  for (auto& w : workers) w.join();
  const double seconds = Seconds(start);
  std::printf("records %d\nseconds %.6f\nper_second %.0f\n", threads * count, seconds,
              threads * count / seconds);
  Sdk::Shutdown();
  return 0;
}

int Batch(const char* out_file, int rounds) {
  std::string json = "[";
  for (int i = 0; i < 30; ++i) {
    PropertiesNode p = Presets();
    p.Merge(TaskProperties(i));
    std::string record;
    usage_collect::BuildRecord("track", "KvEventTask", p, nullptr,
                               "00000000-0000-4000-8000-000000000000", "", false, record);
    if (i) json += ',';
    json += record;
  }
  json += ']';
  std::ofstream(out_file, std::ios::binary) << json;
  std::string compressed;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < rounds; ++i) usage_collect::GzipCompress(json, compressed);
  const double seconds = Seconds(start);
  std::string body;
  usage_collect::BuildUploadBody(json, body);
  std::printf("json_bytes %zu\ngzip_bytes %zu\nbody_bytes %zu\nseconds_per_batch %.9f\n",
              json.size(), compressed.size(), body.size(), seconds / rounds);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "records")
    return Records(std::atoi(argv[2]), std::atoi(argv[3]));
  if (argc == 4 && std::string(argv[1]) == "batch") return Batch(argv[2], std::atoi(argv[3]));
  std::fprintf(stderr, "usage: %s records THREADS COUNT | batch OUT_FILE ROUNDS\n", argv[0]);
  return 2;
}
