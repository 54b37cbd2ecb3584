#pragma once
// Opening a web address in the default browser. The result follows the shell's convention:
// greater than 32 means the address was handed over.
#include <cstdint>

#include <QString>

class LinkOpener {
public:
    virtual ~LinkOpener() = default;
    virtual int32_t Open(const QString& link) = 0;
};

// QDesktopServices::openUrl for absolute web and mail addresses; anything else is refused.
class DesktopLinkOpener : public LinkOpener {
public:
    static constexpr int32_t kOpened = 42;
    static constexpr int32_t kNotOpened = 2;     // the shell's "file not found"
    static constexpr int32_t kBadAddress = 27;   // the shell's "no association"
    int32_t Open(const QString& link) override;
    // Absolute http, https or mailto addresses; a local path or program is never started.
    static bool IsOpenableAddress(const QString& link);
};
