#include "platform/recorder.h"

Recorder::~Recorder() = default;
