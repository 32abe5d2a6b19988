#pragma once
// Owner-drawn caption button (declarations; the splash-window work fills this in).
#include "framework/Dialog.h"

class COwerButton : public CButton {};
