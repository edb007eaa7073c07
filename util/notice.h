// Notices for the user: what a channel or a connection to the instrument has to tell besides
// the sequencers' report lines (a port that cannot be opened, bytes that could not be written,
// a damaged reply). comm/ and instrument/ call Notify and never decide how a notice is shown:
// the front end sets the sink at start-up. The window shows each notice in a message box; the
// automatic mode, with or without a console, writes it as one line on standard error, so an
// unattended run never waits for a user. Every notice is also written to the trace.
#ifndef HALVEX_UTIL_NOTICE_H
#define HALVEX_UTIL_NOTICE_H

#include <string>

enum eNoticeIcon : int { NOTICE_ERROR, NOTICE_WARNING, NOTICE_INFORMATION };

typedef void (*NoticeSink)(const char* szText, const char* szCaption, eNoticeIcon icon);

// Tells the user through the sink in force.
void Notify(const char* szText, const char* szCaption, eNoticeIcon icon);

// Sets the sink (null: WriteNoticeLine) and returns the one it replaces.
NoticeSink SetNoticeSink(NoticeSink sink);

// The sink of the automatic mode, and the one in force until a front end sets another: the
// notice as one line on standard error (FormatNoticeLine). It never blocks.
void WriteNoticeLine(const char* szText, const char* szCaption, eNoticeIcon icon);

// "caption: text\r\n", the lines of a text of several lines joined with " - ".
std::string FormatNoticeLine(const char* szText, const char* szCaption);

#endif
