#include "inet/upload.h"

#include <curl/curl.h>
#include <strings.h>

#include <cstring>

#include "assert/debugrec.h"

namespace {

constexpr char kReply[] = "Assert data was received successfully.";
constexpr size_t kReplyLen = sizeof kReply - 1;  // 38
constexpr size_t kReplyMax = 10240;

struct Post {
  std::string Url;
  std::string Reply;
  UploadResult Result{0, 0};
};

size_t TakeReply(char* data, size_t size, size_t n, void* ctx) {
  auto* p = static_cast<Post*>(ctx);
  size_t len = size * n;
  size_t room = kReplyMax - p->Reply.size();
  p->Reply.append(data, len < room ? len : room);
  return len;
}

UploadResult PostRecord(Post& post, const std::string& rec) {
  CURL* c = curl_easy_init();
  if (!c) return {'p', 0};
  post.Reply.clear();
  curl_slist* headers = nullptr;
  headers = curl_slist_append(headers, "Content-Type: application/octet-stream");
  headers = curl_slist_append(headers, "Accept: text/*");
  headers = curl_slist_append(headers, "Pragma: no-cache");
  headers = curl_slist_append(headers, "Expect:");
  curl_easy_setopt(c, CURLOPT_URL, post.Url.c_str());
  curl_easy_setopt(c, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
  curl_easy_setopt(c, CURLOPT_POST, 1L);
  curl_easy_setopt(c, CURLOPT_POSTFIELDS, rec.data());
  curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(rec.size()));
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(c, CURLOPT_USERAGENT, "Tavik 3.1.12");
  curl_easy_setopt(c, CURLOPT_PROXY, "");
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  // 60 s to connect, and no more than 60 s without a byte moving either way.
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 60L);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, 60L);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, TakeReply);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &post);
  CURLcode rc = curl_easy_perform(c);
  long status = 0;
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
  curl_slist_free_all(headers);
  curl_easy_cleanup(c);

  switch (rc) {
    case CURLE_OK: break;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT: return {'q', rc};
    case CURLE_SEND_ERROR: return {'x', rc};
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE: return status ? UploadResult{'{', rc} : UploadResult{'y', rc};
    case CURLE_OPERATION_TIMEDOUT: return status ? UploadResult{'{', rc} : UploadResult{'q', rc};
    default: return status ? UploadResult{'{', rc} : UploadResult{'x', rc};
  }
  if (status == 0) return {'y', 0};
  if (status != 200) return {'z', static_cast<int>(status)};
  if (post.Reply.size() < kReplyLen || ::strncasecmp(post.Reply.data(), kReply, kReplyLen) != 0) {
    int b0 = post.Reply.size() > 0 ? static_cast<unsigned char>(post.Reply[0]) : 0;
    int b1 = post.Reply.size() > 1 ? static_cast<unsigned char>(post.Reply[1]) : 0;
    return {'|', b0 + 128 * b1};
  }
  return {0, 0};
}

}  // namespace

UploadResult SendDebugRecords(const std::string& host, int port) {
  static const CURLcode init = curl_global_init(CURL_GLOBAL_DEFAULT);
  UploadResult r{0, 0};
  if (init != CURLE_OK) {
    r = {'e', init};
  } else {
    Post post;
    post.Url = "http://" + host + ":" + std::to_string(port) + "/online/assert.php";
    // Each record received is freed at once: a later failure leaves only
    // the unsent ones to try again.
    for (const KeptDebugRecord& rec : KeptDebugRecords()) {
      r = PostRecord(post, rec.Bytes);
      if (r.Code) break;
      ReleaseDebugRecord(rec);
    }
  }
  if (r.Code)
    AddDebugRecord(false, TVK_MODULE, __LINE__, "", r.Second, {{"ErrorCode", r.Code}, {"LastError", r.Second}});
  return r;
}
