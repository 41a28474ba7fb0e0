#pragma once
// The toolkit's own warnings go to standard error without ever waiting for it:
// its default handler writes with a plain, blocking write, which a journal
// socket or a pipe nobody reads would hold, past every signal. Installed
// first thing in main, once standard error is set never to block.
void SendToolkitMessagesWithoutWaiting();
