#include "app/transfer_cut.h"

namespace {

eTransferCut transferCut = CUT_NONE;
bool bCutSaid = false;

}  // namespace

void CutTransfer(eTransferCut cut) {
  if (transferCut != CUT_NONE || cut == CUT_NONE) return;
  transferCut = cut;
  bCutSaid = false;
}

eTransferCut GetTransferCut() {
  return transferCut;
}

eTransferCut TakeNewTransferCut() {
  if (bCutSaid) return CUT_NONE;
  bCutSaid = true;
  return transferCut;
}

void ClearTransferCut() {
  transferCut = CUT_NONE;
  bCutSaid = false;
}
