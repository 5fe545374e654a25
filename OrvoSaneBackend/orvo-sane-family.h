// The model name a network scanner gives in its attribute reply to "familyType".
#pragma once
#include <string>

// The text of the first <value> element, when it is a plain model name; else empty.
std::string OrvoModelFromFamily(const std::string &reply);
