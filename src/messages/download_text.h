#pragma once

// What a user reads when a page could not be downloaded: one sentence for
// each kind of failure, whichever HTTP back end ran, and one for each answer
// whose status is not a page. UTF-8. The library's own words, or "(HTTP 403)",
// follow a sentence in parentheses.

#include <string_view>
#include <vector>

namespace valmeric {
namespace download_text {

// One for each DownloadFailure.
inline constexpr char kSession[] = "通信の準備ができませんでした。";
inline constexpr char kNameNotResolved[] =
    "サーバーの名前を解決できませんでした。ネットワークの接続を確認してください。";
inline constexpr char kConnectFailed[] = "サーバーに接続できませんでした。";
inline constexpr char kConnectTimeout[] = "サーバーへの接続が時間内に完了しませんでした。";
inline constexpr char kTimedOut[] = "ページの取得が時間内に終わりませんでした。";
inline constexpr char kStalled[] = "サーバーからの応答が遅すぎるため、取得を打ち切りました。";
inline constexpr char kTls[] =
    "サーバーの証明書を確認できなかったため、安全に接続できませんでした。";
// Expired, or not yet valid.
inline constexpr char kCertificateExpired[] =
    "サーバーの証明書が有効期間外のため、安全に接続できませんでした。";
inline constexpr char kCertificateWrongName[] =
    "サーバーの証明書が別のサーバー名のものであるため、安全に接続できませんでした。";
inline constexpr char kCertificateUntrusted[] =
    "サーバーの証明書の発行元が信頼されていないため、安全に接続できませんでした。";
inline constexpr char kConnectionBroken[] = "通信が途中で切れました。";
inline constexpr char kBadAnswer[] = "サーバーの応答を読み取れませんでした。";
inline constexpr char kTooManyRedirects[] = "転送（リダイレクト）が多すぎます。";
inline constexpr char kRedirectAway[] = "別のサイトへの転送（リダイレクト）は行いません。";
inline constexpr char kOversized[] = "ページが大きすぎるため、取得を打ち切りました。";
inline constexpr char kNotSupported[] =
    "追加の証明書ファイルはこの環境では使えません。システムの証明書ストアに追加してください。";
inline constexpr char kBadAddress[] = "取得先のアドレスが正しくありません。";
inline constexpr char kLocalFile[] = "取得したページをファイルに書き込めませんでした。";
inline constexpr char kCancelled[] = "取得を中断しました。";
inline constexpr char kOther[] = "ページを取得できませんでした。";

// Words of our own for the parentheses, where the library has none that
// name the reason.
inline constexpr char kHeaderTooLarge[] = "応答のヘッダーが大きすぎます";
inline constexpr char kCompressedBodyCut[] = "圧縮された本文が途中で終わっています";
inline constexpr char kUnknownEncoding[] = "対応していない圧縮形式です";

// An answer that is not a page, by its status.
inline constexpr char kNoPage[] = "サーバーがページを返しませんでした。";
inline constexpr char kPageNotFound[] = "ページが見つかりませんでした。";      // 404, 410
inline constexpr char kAccessDenied[] = "サーバーがアクセスを拒否しました。";  // 401, 403
inline constexpr char kServerBusy[] = "サーバーが混み合っているため、取得を断られました。";  // 429
inline constexpr char kServerError[] = "サーバー側でエラーが発生しました。";                 // 5xx

// A 2xx answer that is not a result page.
inline constexpr char kNotAResultPage[] = "サイトが検索結果ではない別のページを返しました。";
inline constexpr char kOtherEncoding[] = "サイトが EUC-JP 以外の文字コードでページを返しました。";

// The WinINet errors a run can meet, in a few words each; they stand after
// "WinINet <number>: " in the parentheses that follow a sentence above.
inline constexpr char kWinInetOutOfHandles[] = "ハンドル不足";
inline constexpr char kWinInetTimeout[] = "要求がタイムアウトしました";
inline constexpr char kWinInetInternalError[] = "内部エラー";
inline constexpr char kWinInetInvalidUrl[] = "URLが正しくありません";
inline constexpr char kWinInetUnrecognizedScheme[] = "URLの形式が不明です";
inline constexpr char kWinInetNameNotResolved[] = "サーバー名を解決できません";
inline constexpr char kWinInetOperationCancelled[] = "操作が取り消されました";
inline constexpr char kWinInetCannotConnect[] = "サーバーに接続できません";
inline constexpr char kWinInetConnectionAborted[] = "接続が中止されました";
inline constexpr char kWinInetConnectionReset[] = "接続がリセットされました";
inline constexpr char kWinInetCertDateInvalid[] =
    "証明書の有効期限が切れているか、まだ有効ではありません";
inline constexpr char kWinInetCertNameInvalid[] = "証明書の名前がサーバー名と一致しません";
inline constexpr char kWinInetClientCertNeeded[] = "サーバーがクライアント証明書を求めています";
inline constexpr char kWinInetInvalidCa[] = "証明書の発行元が信頼されていません";
inline constexpr char kWinInetCertErrors[] = "証明書に問題があります";
inline constexpr char kWinInetCertNoRevocation[] = "証明書の失効を確認できません";
inline constexpr char kWinInetCertRevocationFailed[] = "証明書の失効の確認に失敗しました";
inline constexpr char kWinInetInvalidServerResponse[] = "サーバーの応答が正しくありません";
inline constexpr char kWinInetSecurityChannel[] = "安全な通信路を確立できません";
inline constexpr char kWinInetInvalidCert[] = "証明書が無効です";
inline constexpr char kWinInetCertRevoked[] = "証明書が失効しています";
inline constexpr char kWinInetDecodingFailed[] = "圧縮された応答を展開できません";

}  // namespace download_text

// Every text above, for the check that each one is Japanese.
const std::vector<std::string_view>& DownloadTexts();

}  // namespace valmeric
