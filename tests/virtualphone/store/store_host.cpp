// A host of the library for the tests that run several host processes against one installed phone:
//   store_host HARDWARE-ID FOLDER TAG COUNT WORK-FOLDER
// does COUNT operations in the phone's FOLDER, in turn: put TAG-N.bin (churn_files.h), list the folder
// (which must show it), and delete the file it put a few puts before. It writes the names it leaves
// on the phone to WORK-FOLDER\TAG.kept, one a line, prints every failure, and exits with the number of
// failures other than those the platform defines for such races (busy, already exists).
#include "churn_files.h"
#include "fieldrec.h"
#include "orvik.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <string>

namespace {

constexpr std::size_t kKept = 6;

std::string Narrow(const std::wstring &text) { return std::string(text.begin(), text.end()); }  // ASCII names

class Churn {
public:
    Churn(void *handle, std::wstring folder, std::wstring work) : handle_(handle), folder_(std::move(folder)), work_(std::move(work)) {}

    void Put(const std::wstring &name) {
        const std::wstring local = work_ + L"\\" + name;
        const std::vector<std::uint8_t> bytes = store_test::ChurnBytes(name);
        std::ofstream(local.c_str(), std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()),
                                                            static_cast<std::streamsize>(bytes.size()));
        const bool put = Check("put", name, WPD_Media_PutFile(handle_, Remote(name).c_str(), local.c_str(), 0));
        DeleteFileW(local.c_str());
        if (put) onPhone_.push_back(name);
    }

    // The folder's listing must show the file put last, whatever the other hosts do meanwhile.
    void List() {
        char *listing = nullptr;
        if (Check("list", folder_, WPD_Media_GetFolderListing(handle_, folder_.c_str(), &listing, 0)) && !onPhone_.empty()) {
            const std::string line = "X_FB_NAME:" + Narrow(onPhone_.back()) + "\r\n";
            if (!listing || !std::strstr(listing, line.c_str())) {
                std::printf("list %ls: %ls is missing\n", folder_.c_str(), onPhone_.back().c_str());
                ++failures_;
            }
        }
        if (listing) FieldrecFree(listing);
    }

    // Deletes the oldest file it put once more than kKept are there; false when there was none to delete.
    bool DeleteOldest() {
        if (onPhone_.size() <= kKept) return false;
        if (Check("delete", onPhone_.front(), WPD_Media_DeleteFile(handle_, Remote(onPhone_.front()).c_str(), 0))) {
            onPhone_.pop_front();
        }
        return true;
    }

    const std::deque<std::wstring> &OnPhone() const { return onPhone_; }
    unsigned Failures() const { return failures_; }
    unsigned Races() const { return races_; }

private:
    std::wstring Remote(const std::wstring &name) const { return folder_ + L"\\" + name; }

    bool Check(const char *what, const std::wstring &name, WPD_ERROR result) {
        if (result == WPD_ERROR_OK) return true;
        std::printf("%s %ls: result %d\n", what, name.c_str(), static_cast<int>(result));
        ++(result == WPD_ERROR_BUSY || result == WPD_ERROR_ALREADY_EXISTS ? races_ : failures_);
        return false;
    }

    void *handle_;
    std::wstring folder_;
    std::wstring work_;
    std::deque<std::wstring> onPhone_;
    unsigned failures_ = 0;
    unsigned races_ = 0;
};

}  // namespace

int wmain(int argc, wchar_t **argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: store_host HARDWARE-ID FOLDER TAG COUNT WORK-FOLDER\n");
        return 100;
    }
    const std::wstring tag = argv[3], work = argv[5];
    const unsigned count = static_cast<unsigned>(std::wcstoul(argv[4], nullptr, 10));
    std::string hardwareId = Narrow(argv[1]);
    void *handle = WPD_InitializeEx(WPD_METHOD_BASE, 0);
    if (WPD_ConnectDevice(handle, hardwareId.data(), false, 0) != WPD_ERROR_OK) {
        std::printf("cannot connect to %s\n", hardwareId.c_str());
        WPD_Uninitialize(handle);
        return 100;
    }
    Churn churn(handle, argv[2], work);
    for (unsigned done = 0, n = 0; done < count;) {
        churn.Put(store_test::ChurnName(tag, n++));
        if (++done == count) break;
        churn.List();
        if (++done == count) break;
        if (churn.DeleteOldest()) ++done;
    }
    std::ofstream kept((work + L"\\" + tag + L".kept").c_str());
    for (const std::wstring &name : churn.OnPhone()) kept << Narrow(name) << "\n";
    WPD_DisconnectDevice(handle);
    WPD_Uninitialize(handle);
    std::printf("%u operations: %u failures, %u busy or already there\n", count, churn.Failures(), churn.Races());
    return static_cast<int>(churn.Failures());
}
