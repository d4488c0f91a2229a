// CTwainAcquirer: one conversation with the data source manager and one
// data source. It identifies the application, opens the manager and the
// default source, negotiates the transfer, lets the source show its own
// interface, moves each image into a CPicture (memory transfer) or a packed
// bitmap (native transfer) and hands every finished image to its owner.
//
// The owner is an interface, so this core stays free of windows: the main
// window opens a new document with each image, a stitch page keeps it, the
// command line writes it to a file.
#pragma once
#include <cstdint>
#include <memory>

#include "picture/global_block.h"
#include "picture/picture.h"
#include "platform/twain/dsm.h"
#include "platform/twain/twain_types.h"

// The window that receives the transfer-done message.
class CTwainOwner {
public:
    virtual ~CTwainOwner() = default;
    // The transfer-done message: a packed bitmap (native transfer) or a
    // picture (memory transfer), or neither when the transfer failed. The
    // receiver owns what it is given.
    virtual void OnTwainXferDone(HGlobal dib, std::unique_ptr<CPicture> picture) = 0;
    // The handle the manager and the source's interface are parented to.
    virtual void* WindowHandle() { return this; }
};

class CTwainAcquirer {
public:
    // library: the manager (the SANE-backed one in the program).
    explicit CTwainAcquirer(twain::ManagerLibrary& library = twain::SaneManagerLibrary());
    ~CTwainAcquirer();
    CTwainAcquirer(const CTwainAcquirer&) = delete;
    CTwainAcquirer& operator=(const CTwainAcquirer&) = delete;

    // Sets the owner before Prepare (a stitch page); none: the main window.
    void SetOwner(CTwainOwner* owner) { m_pOwner = owner; }
    // The screen's logical dots per inch, for sources that give no resolution.
    void SetScreenDpi(int x, int y) {
        m_screenDpiX = x;
        m_screenDpiY = y;
    }

    int Prepare(CTwainOwner* mainWnd);
    int OpenManager();
    int CloseManager();
    int OpenDefaultSource();
    int CloseSource();
    int EnableSource();
    int DisableSource();
    int SelectSource();
    int Acquire();
    // Passes a platform message to the source; true when it was the source's.
    bool ProcessMessage(void* message);
    void CloseAll();

    bool IsAvailable() const { return m_bAvailable; }
    bool IsManagerOpen() const { return m_bManagerOpen; }
    bool IsSourceOpen() const { return m_bSourceOpen; }
    bool IsSourceEnabled() const { return m_bSourceEnabled; }
    bool IsFeederInUse() const { return m_bFeederInUse; }
    bool IsMemoryXfer() const { return m_bMemoryXfer; }
    const twain::TwIdentity& AppIdentity() const { return m_appIdentity; }
    const twain::TwIdentity& SourceIdentity() const { return m_srcIdentity; }

private:
    std::uint16_t Call(twain::TwIdentity* dest, std::uint32_t group, std::uint16_t dat,
                       std::uint16_t msg, void* data);
    std::uint16_t SourceCall(std::uint32_t group, std::uint16_t dat, std::uint16_t msg, void* data) {
        return Call(&m_srcIdentity, group, dat, msg, data);
    }
    bool GetCapability(std::uint16_t cap, twain::TwCapability& value);
    bool SetOneValue(std::uint16_t cap, std::uint16_t itemType, std::uint32_t value);
    void Negotiate();
    bool FeederCheck();
    void TransferAll();
    void TransferOne();
    std::unique_ptr<CPicture> MemoryTransfer();
    void Deliver(HGlobal dib, std::unique_ptr<CPicture> picture);

    twain::ManagerLibrary& m_library;
    twain::DsmEntryProc m_pDsmEntry = nullptr;
    bool m_bMemoryXfer = false;
    bool m_bNativeSet = false;  // the mechanism was switched to native for an image
    // The setting asking for native transfers, read with the negotiation:
    // the transfers may run on a worker thread, which reads no settings.
    bool m_bNativeWanted = false;
    twain::TwIdentity m_appIdentity;
    twain::TwIdentity m_srcIdentity;
    twain::TwImageInfo m_imageInfo;
    bool m_bFeederInUse = false;
    bool m_bAvailable = false;
    bool m_bManagerOpen = false;
    bool m_bSourceOpen = false;
    bool m_bSourceEnabled = false;
    CTwainOwner* m_pOwner = nullptr;
    CTwainOwner* m_pMainWnd = nullptr;
    int m_screenDpiX = kDefaultDpi;
    int m_screenDpiY = kDefaultDpi;
};
