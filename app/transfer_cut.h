// A transfer cut short: the installer took part of a file as data (or, after the last pass
// allowed, a file that may hold a packet twice), so it may never restart by itself and must be
// switched off and on. From the cut on nothing but the instrument connection's reconnection
// handshake goes to it: StopTransfer's exit word, where it was sent, is the last word of the
// installer conversation (ExitInstallerStep sends none), and the run waits in Reconnecting,
// within its limits, until the instrument answers again.
//
// One entry point for every kind of cut, called where the cut happens (the front door's Cancel or
// time limit, a failed transfer, the step that runs out of passes); each front door says it on its
// next pass: the automatic mode in one line, the window in its stage dialog and status bar.
#ifndef HALVEX_APP_TRANSFER_CUT_H
#define HALVEX_APP_TRANSFER_CUT_H

enum eTransferCut : int {
  CUT_NONE = 0,
  CUT_STOPPED,   // stopped part-way (Cancel, a time limit); StopTransfer sent its exit word
  CUT_FAILED,    // the file changed or could not be read part-way: no end-of-file marker went out
  CUT_UNCERTAIN  // the last pass allowed was uncertain too: the image may hold a packet twice
};

// Marks the running installation's transfer as cut; the first cut of a run is the one kept.
void CutTransfer(eTransferCut cut);
// The cut of the running installation, CUT_NONE when there was none.
eTransferCut GetTransferCut();
// The cut once, for the front door to say it: CUT_NONE when none is new since the last call.
eTransferCut TakeNewTransferCut();
// A new installation: no cut.
void ClearTransferCut();

#endif
