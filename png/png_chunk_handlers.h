// The handlers of the chunks that describe the picture, its keys and its text. Each checks
// its order rules first, then consumes exactly the chunk's data.
#pragma once

#include "png/png_read_state.h"

void HandleIHDR(PngReadState& state);
void HandlePLTE(PngReadState& state);
void HandleTRNS(PngReadState& state);
void HandleBKGD(PngReadState& state);
void HandleGAMA(PngReadState& state);
void HandlePHYS(PngReadState& state);
void HandleOFFS(PngReadState& state);
void HandleTEXT(PngReadState& state);
void HandleZTXT(PngReadState& state);
void HandleIEND(PngReadState& state);
