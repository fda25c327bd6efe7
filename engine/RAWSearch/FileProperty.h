#pragma once

#include <string>

// What a document says about itself, as the document readers find it. Each
// reader fills the texts its format has: the Office and summary readers the
// creator (first author) and author (last to save it); the PDF reader its
// Creator and Author keys. Times are already shaped for a file name.
struct FileProperty {
    std::string title;
    std::string producer;
    std::string creator;
    std::string author;
    std::string created;
    std::string modified;
};
