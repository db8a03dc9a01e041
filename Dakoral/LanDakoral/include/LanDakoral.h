#pragma once
// LanDakoral: framed binary command exchange with a display over TCP.
//
// A handle stands for one display host. Opening takes the host's cross-process
// lock (held until DAKRIF_Close); the TCP connection is made by the first
// DAKRIF_GetCommand and kept between calls. Settings come from "Dakoral.ini"
// in the folder of the running program, or from the user's own copy in
// $XDG_CONFIG_HOME/quendra (~/.config/quendra) when that folder belongs to
// someone else and the copy exists; the library never writes it. Every step is
// written to the log file "DakoralLan.log" in the folder "Log" of the running
// program when that folder is the user's own, else in the user's
// $XDG_STATE_HOME/quendra/Log (~/.local/state/quendra/Log) (common/userfiles.h,
// and the library's README).

#ifdef _WIN32
#define DAKRIF_CALL __stdcall
#ifdef LANDAKORAL_BUILD
#define DAKRIF_API __declspec(dllexport)
#else
#define DAKRIF_API __declspec(dllimport)
#endif
#else
#define DAKRIF_CALL
#define DAKRIF_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef void* DAKRIF_HANDLE;

/* Open flags (DAKRIF_Open, DAKRIF_OpenEx); DAKRIF_OpenIF uses bits 28..30 only. */
#define DAKRIF_FLAG_ID_MASK 0x000000FFu      /* display ID (0 when bit 29 is set) */
#define DAKRIF_FLAG_RETRY_SHIFT 8            /* bits 8..15: attempts, 0 = settings file */
#define DAKRIF_FLAG_TIMEOUT_SHIFT 16         /* bits 16..23: reply time-out in s, 0 = settings file */
#define DAKRIF_FLAG_C 0x10000000u
#define DAKRIF_FLAG_B 0x20000000u            /* forces the display ID to 0 */
#define DAKRIF_FLAG_NOT_A 0x40000000u        /* flag A is the inverse of this bit */

/* Results of DAKRIF_GetCommand. */
#define DAKRIF_OK 0                 /* reply received */
#define DAKRIF_ERR_FAILED 1         /* no valid reply after the retries, cancelled, bad arguments, login failure */
#define DAKRIF_ERR_HANDLE 4         /* unknown handle */
#define DAKRIF_ERR_CONNECT 7        /* TCP connection could not be made */
#define DAKRIF_ERR_LOGIN_TIMEOUT 8  /* no password prompt within the login time-out */
#define DAKRIF_ERR_CANCEL_OPEN 11   /* cancelled while connecting */
#define DAKRIF_ERR_AUTH 12          /* password rejected, or credentials given but no login prompt */
#define DAKRIF_ERR_ACCESS 13        /* the display's first text was not the login prompt */

/* Largest reply data length; the caller's reply buffer must hold this many bytes. */
#define DAKRIF_MAX_REPLY 1152
/* Largest parameter length of one request. */
#define DAKRIF_MAX_PARAMS 65535

/* DAKRIF_OpenEx(iface, NULL, NULL, flags, NULL). */
DAKRIF_API DAKRIF_HANDLE DAKRIF_CALL DAKRIF_Open(const char* iface, unsigned int flags);

/* Logs out, disconnects and releases the host lock. 1 closed, 0 unknown handle. */
DAKRIF_API int DAKRIF_CALL DAKRIF_Close(DAKRIF_HANDLE handle);

/* One request (command byte + paramLen parameter bytes) and its reply. The reply
   data go to reply (when not null, up to DAKRIF_MAX_REPLY bytes) and their
   number to *replyLen. Returns one of the DAKRIF_OK / DAKRIF_ERR_* codes. */
DAKRIF_API int DAKRIF_CALL DAKRIF_GetCommand(DAKRIF_HANDLE handle, const unsigned char* command,
                                             const unsigned char* params, unsigned char* reply, int paramLen,
                                             int* replyLen);

/* iface: "LAN" + host [":" port], without regard to case. account and password
   may be null; cancel, when not null, points to an int that the caller sets to
   non-zero to abandon the open or exchange in progress (it must outlive the handle). */
DAKRIF_API DAKRIF_HANDLE DAKRIF_CALL DAKRIF_OpenEx(const char* iface, const char* account, const char* password,
                                                   unsigned int flags, int* cancel);

/* The same with the values as separate arguments; baudRate is ignored and only
   bits 28..30 of connFlags are used. */
DAKRIF_API DAKRIF_HANDLE DAKRIF_CALL DAKRIF_OpenIF(const char* iface, const char* account, const char* password,
                                                   int displayId, int timeoutSec, int retryCount, int baudRate,
                                                   unsigned int connFlags, int* cancel);

#ifdef __cplusplus
}
#endif
