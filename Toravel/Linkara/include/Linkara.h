#pragma once
/* Linkara: text command link of the setting programs, with UTF-16 strings.

   The link goes over a serial line or TCP, as set in "Linkara.ini" (edited
   with Linkara_ConnectionSetting). The file is read from and written to the
   program's folder when that folder belongs to the user running the program;
   otherwise the folder's file is only the installed default, and the user's
   own copy in $XDG_CONFIG_HOME/quendra (~/.config/quendra) is read when there
   is one and written, made from the default on the first change, when the
   settings change (common/userfiles.h). Commands are the
   display's text commands, sent as ASCII: a command holding a character
   outside ASCII is refused (0) and nothing is sent, and so is an open whose
   account or password holds one. Replies are read back without their framing.
   One link per process; calls come from one thread.

   Results: non-zero on success, 0 on failure. */

#ifdef _WIN32
#define LINKARA_CALL __stdcall
#define LINKARA_API __declspec(dllexport)
#else
#define LINKARA_CALL
#define LINKARA_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Largest reply written, in characters, terminator included. */
#define LINKARA_MAX_REPLY 260

/* First call: reads the settings. owner is unused (may be null). Returns 1. */
LINKARA_API int LINKARA_CALL Linkara_Initialize(void* owner);
/* Last call: closes the link and forgets the password. Returns 1. */
LINKARA_API int LINKARA_CALL Linkara_Terminate(void);

/* Shows the modal connection setting dialog over owner (a QWidget*, or null)
   and, when confirmed, keeps its settings for later opens: all but the
   password are written to "Linkara.ini", the password stays in memory.
   Returns 1 when confirmed, 0 when cancelled or when no dialog can be shown
   (no Qt application, or a build without the GUI). */
LINKARA_API int LINKARA_CALL Linkara_ConnectionSetting(void* owner);

/* Opens the link with the current settings (closing one left open). */
LINKARA_API int LINKARA_CALL Linkara_Open(void);
/* Closes the link; harmless when none is open. */
LINKARA_API void LINKARA_CALL Linkara_Close(void);

/* Sends a query and puts the value of its "=" reply into reply as a
   zero-terminated string. At most min(size, LINKARA_MAX_REPLY) characters,
   terminator included, are written (all of them cleared first); a value that
   does not fit fails (0) and leaves the buffer empty. Bytes of the reply
   outside ASCII become "?". */
LINKARA_API int LINKARA_CALL Linkara_GetString(const char16_t* command, char16_t* reply, int size);
/* Sends a command; non-zero when the display accepts it ("OK"). */
LINKARA_API int LINKARA_CALL Linkara_SetCommand(const char16_t* command);
/* Sends a query whose value is a decimal integer; *value is set on success. */
LINKARA_API int LINKARA_CALL Linkara_GetNumber(const char16_t* command, int* value);

#ifdef __cplusplus
}
#endif
