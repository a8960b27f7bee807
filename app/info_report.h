// The two ways info prints the facts of a file: "name: value" lines for people, one JSON object
// per line for scripts. Text from the file is escaped in both.
#pragma once

#include <iosfwd>
#include <string>

#include "app/image_facts.h"

void PrintFactsText(const ImageFacts& facts, std::ostream& out);
void PrintFactsJson(const ImageFacts& facts, const std::string& fileName, std::ostream& out);
void PrintErrorJson(const std::string& fileName, const std::string& error, std::ostream& out);
