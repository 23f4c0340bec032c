// texts.h - the long fixed outputs, written out in full: the usage and the
// template listing.
#ifndef RUNCARD_TESTS_TEXTS_H
#define RUNCARD_TESTS_TEXTS_H

#include <string>

std::string usage_text(const std::string &progname);
extern const char kTemplateListing[];

#endif
