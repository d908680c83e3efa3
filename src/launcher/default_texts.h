// The message texts (ids 1000 to 1020) that the builder writes into a block when
// the configuration gives none. One table for the builder and the tests.
//
// Each text says what happened and what to do. "{0}" is the message's argument
// (the first one only); "{details}" is the launcher's own explanation of the
// failure, filled by showMessage (see texts::kMessageDetails).
#pragma once
#include <cstdint>

struct DefaultMessageText {
    int32_t id;
    const char* text;
};

// Ids 1000 to 1020 in order, one row each.
extern const DefaultMessageText kDefaultMessageTexts[21];

// The default text of message id, nullptr for ids outside 1000 to 1020.
const char* defaultMessageText(int32_t id);
