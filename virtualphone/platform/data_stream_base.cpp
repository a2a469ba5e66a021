#include "virtualphone/platform/data_stream_base.h"

#include "virtualphone/platform/com_out.h"

namespace vphone {

HRESULT FillStat(STATSTG *stat, DWORD flags, const std::wstring &name, std::uint64_t size, DWORD mode) noexcept {
    if (!stat) return E_POINTER;
    *stat = STATSTG{};
    stat->type = STGTY_STREAM;
    stat->cbSize.QuadPart = size;
    stat->grfMode = mode;
    if (flags & STATFLAG_NONAME) return S_OK;
    return CopyToTaskMem(name, &stat->pwcsName);
}

}  // namespace vphone
