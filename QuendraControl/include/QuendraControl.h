#pragma once
/* QuendraControl: text command link to a display, over TCP ("LAN" + host
   [":" port], port 10008 by default) or a serial line ("COMn", mapped to a
   device by "QuendraControl.ini", or a device path).

   The link speaks the display's text command port: a command of 0 to 64
   printable ASCII characters ended by CR, answered by one line "OK", "NG" or
   "=" value. On TCP a display with an account asks "Login: " / "Password: "
   first. Every call is bounded by the reply time; nothing here blocks for good.
   After a call that timed out or was cancelled, the next call on the handle
   first connects again (TCP: with the login and the display selected by the
   last accepted "IDSL" command) or waits until the serial line has been quiet
   for one reply time (at most three), so that a late reply never answers it.

   Results: the open functions return a handle or null; every other call
   returns QNCTRL_OK (0) on success and one of the QNCTRL_ERR_* codes 1..7
   otherwise. QNCTRL_GetLastError tells why the last failed call of the
   calling thread failed, also an open (codes 1..9).
   A handle is used by one thread at a time and closed exactly once. */

#ifdef _WIN32
#define QNCTRL_CALL __stdcall
#define QNCTRL_API __declspec(dllexport)
#else
#define QNCTRL_CALL
#define QNCTRL_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef void* QNCTRL_HANDLE;

#define QNCTRL_OK 0
#define QNCTRL_ERR_REFUSED 1  /* the display answered NG, or a reply of the wrong kind */
#define QNCTRL_ERR_TIMEOUT 2  /* no reply line within the reply time */
#define QNCTRL_ERR_LINK 3     /* the connection or line failed or was closed */
#define QNCTRL_ERR_HANDLE 4   /* null or unknown handle */
#define QNCTRL_ERR_ARGUMENT 5 /* null text or buffer, text not sendable, bad buffer size */
#define QNCTRL_ERR_VALUE 6    /* a number query answered with something else than a decimal integer */
#define QNCTRL_ERR_CANCEL 7   /* the caller's cancel flag was set */
/* Reasons that only QNCTRL_GetLastError gives (a failed open returns null). */
#define QNCTRL_ERR_CONNECT 8  /* no connection, or the serial device could not be opened */
#define QNCTRL_ERR_LOGIN 9    /* login refused: wrong account or password, or credentials for a display
                                 that asks for none, or an unexpected text in the login dialogue */

/* Open flags of QNCTRL_OpenEx. */
#define QNCTRL_FLAG_ID_MASK 0x000000FFu /* display ID selected on open ("IDSL" + ID), 0 = none */
#define QNCTRL_FLAG_REPLY_SHIFT 8       /* bits 8..15: reply time in seconds, 0 = 3 s */
#define QNCTRL_FLAG_LOGIN_SHIFT 16      /* bits 16..23: wait for the login prompt in seconds, 0 = 1 s */
#define QNCTRL_FLAG_BAUD_SHIFT 24       /* bits 24..27: serial baud code, below */
/* Baud codes: 0 9600 (default), 1 1200, 2 2400, 3 4800, 4 9600, 5 19200,
   6 38400, 7 57600, 8 115200; other codes fail the open of a serial line. */

/* Opens the link. user and password (null = empty) answer the login dialogue
   of a TCP display; giving either to a display that asks for no login fails.
   cancel, when not null, points to an int the caller sets non-zero to abandon
   a wait; it must outlive the handle. Null on failure. */
QNCTRL_API QNCTRL_HANDLE QNCTRL_CALL QNCTRL_OpenEx(const char* port, const char* user, const char* password,
                                                   unsigned int flags, int* cancel);

/* The same with separate values: mode must be 1 (text commands); displayId
   1..255 is selected on open ("IDSL" + ID; the open fails when the display
   refuses it), 0 selects none; replySec and loginSec 0 take the defaults
   (3 s and 1 s), longer values are cut to one day; baud is the serial rate
   (0 = 9600); connFlags is reserved. */
QNCTRL_API QNCTRL_HANDLE QNCTRL_CALL QNCTRL_OpenIF(const char* port, const char* user, const char* password,
                                                   int mode, int displayId, int replySec, int loginSec, int baud,
                                                   unsigned int connFlags, int* cancel);

/* Closes the link: QNCTRL_OK, or QNCTRL_ERR_HANDLE for a null or unknown handle. */
QNCTRL_API int QNCTRL_CALL QNCTRL_Close(QNCTRL_HANDLE handle);

/* Sends a command (kind "Command") and succeeds when the display answers OK.
   The last three arguments are reserved (NULL, 0, 0). */
QNCTRL_API int QNCTRL_CALL QNCTRL_SetCommand(QNCTRL_HANDLE handle, const char* kind, const char* text,
                                             void* reserved, int reservedLen, int reservedFlags);

/* Sends a query ("Command:" + text; the wire carries the text alone) and puts
   the value of its "=" reply into buffer as a NUL-terminated string. The buffer
   (size bytes, at least 1) is cleared first; a value longer than size - 1
   bytes fails with QNCTRL_ERR_ARGUMENT and leaves the buffer empty. */
QNCTRL_API int QNCTRL_CALL QNCTRL_GetStringEx(QNCTRL_HANDLE handle, const char* query, char* buffer, int size);

/* The same for a query whose value is a decimal integer; *value is set only
   on success. The last three arguments are reserved (NULL, 0, 0). */
QNCTRL_API int QNCTRL_CALL QNCTRL_GetNumber(QNCTRL_HANDLE handle, const char* query, int* value, void* reserved,
                                            int reservedLen, int reservedFlags);

/* Why the calling thread's last failed call of this library failed: an open
   that returned null, or a call that did not return QNCTRL_OK. Returns its
   QNCTRL_ERR_* code (QNCTRL_OK when no call of this thread has failed yet)
   and puts a one-line text into message (size bytes, cut to fit; may be
   null): the system's message of a connect that failed, what the login
   dialogue got, the command a display refused. A later failure replaces it;
   a successful call leaves it. This function is not one of the six calls the
   report program makes: a library taking this one's place may lack it, so
   callers look it up at run time. */
QNCTRL_API int QNCTRL_CALL QNCTRL_GetLastError(char* message, int size);

#ifdef __cplusplus
}
#endif
