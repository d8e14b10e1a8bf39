// Fetching and installing one content pack: the store starts it, follows its progress and hears how it
// ended. The implementation downloads the pack's archive and unpacks it into the packs folder; tests use a
// fake. Use from the main thread only.
#pragma once

#include <QString>
#include <QUrl>

#include <functional>

struct KXPackFetchResult {
    enum class Status {
        Installed,       // downloaded and unpacked into the packs folder
        DownloadFailed,  // the archive could not be fetched; the packs folder is unchanged
        InstallFailed,   // the archive could not be unpacked; an earlier copy of the pack is left as it was
    };
    Status status = Status::DownloadFailed;
    // Why it failed, for the user; empty on success.
    QString errorText;
    // The pack's folder name derived from the archive's address (the notice names the pack by it).
    QString packFolderName;
};

class KXPackFetcher {
public:
    struct Callbacks {
        // Bytes received so far and the announced total (-1 when the server announced none).
        std::function<void(qint64 received, qint64 total)> progress;
        // Called once, on the main thread, when the pack is installed or has failed; not after cancel().
        std::function<void(const KXPackFetchResult& result)> finished;
    };

    virtual ~KXPackFetcher() = default;

    // Starts fetching the archive at the address and installing it. `identifier` names the job for cancel().
    virtual void start(const QString& identifier, const QUrl& contentURL, Callbacks callbacks) = 0;
    // Stops a running job; nothing more is reported for it.
    virtual void cancel(const QString& identifier) = 0;

    // The application's fetcher (not owned); null until one is installed.
    static KXPackFetcher* defaultFetcher() { return s_default; }
    static void setDefaultFetcher(KXPackFetcher* fetcher) { s_default = fetcher; }

private:
    static inline KXPackFetcher* s_default = nullptr;
};
