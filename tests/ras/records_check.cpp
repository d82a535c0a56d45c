// The dial-up component's own record declarations against the platform's <ras.h>,
// checked when this file compiles, in each architecture's tree. <ras.h> declares only
// the newest versions of the records, so what is compared is where each field of our
// older versions lies, and that each of our records ends where the newer version's
// first added field begins (rounded up to the 4-byte packing).
#include <windows.h>

#include <cstddef>

#include "ras/ztrasAPI.h"

namespace {
// <ras.h> defines the record names as macros: take ours first.
using OurEntryName = zt::ras::RASENTRYNAME;
using OurConn = zt::ras::RASCONN;
using OurDialParams = zt::ras::RASDIALPARAMS;
using OurPppIp = zt::ras::RASPPPIP;
} // namespace

#include <ras.h>

namespace {
constexpr std::size_t Packed(std::size_t end) { return (end + 3) & ~std::size_t(3); }

static_assert(offsetof(tagRASENTRYNAMEA, szEntryName) == offsetof(OurEntryName, szEntryName));
static_assert(sizeof(OurEntryName) == Packed(offsetof(tagRASENTRYNAMEA, dwFlags)));

static_assert(offsetof(tagRASCONNA, hrasconn) == offsetof(OurConn, hrasconn));
static_assert(sizeof(tagRASCONNA::hrasconn) == sizeof(OurConn::hrasconn));
static_assert(offsetof(tagRASCONNA, szEntryName) == offsetof(OurConn, szEntryName));
static_assert(offsetof(tagRASCONNA, szDeviceType) == offsetof(OurConn, szDeviceType));
static_assert(offsetof(tagRASCONNA, szDeviceName) == offsetof(OurConn, szDeviceName));
static_assert(sizeof(OurConn) == Packed(offsetof(tagRASCONNA, szPhonebook)));

static_assert(offsetof(tagRASDIALPARAMSA, szEntryName) == offsetof(OurDialParams, szEntryName));
static_assert(offsetof(tagRASDIALPARAMSA, szPhoneNumber) == offsetof(OurDialParams, szPhoneNumber));
static_assert(offsetof(tagRASDIALPARAMSA, szUserName) == offsetof(OurDialParams, szUserName));
static_assert(offsetof(tagRASDIALPARAMSA, szPassword) == offsetof(OurDialParams, szPassword));
static_assert(offsetof(tagRASDIALPARAMSA, szDomain) == offsetof(OurDialParams, szDomain));
static_assert(sizeof(OurDialParams) == Packed(offsetof(tagRASDIALPARAMSA, dwSubEntry)));

static_assert(offsetof(tagRASPPPIPA, dwError) == offsetof(OurPppIp, dwError));
static_assert(offsetof(tagRASPPPIPA, szIpAddress) == offsetof(OurPppIp, szIpAddress));
static_assert(sizeof(OurPppIp) == Packed(offsetof(tagRASPPPIPA, szServerIpAddress)));
} // namespace
