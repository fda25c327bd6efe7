#include "FileTypeLists.h"

#include <map>
#include <string>

#include "FileTypeManager.h"

void SetFileTypeLists() {
    std::map<int, std::string> lists = {
        {1,
         "doc;docx;dot;xls;xlsx;ppt;pptx;pdf;txt;rtf;odt;ods;odp;csv;pages;numbers;key;"
         "wpd;wps;xml;html;htm"},
        {2,
         "jpg;jpeg;png;gif;bmp;tif;tiff;heic;psd;svg;webp;ico;cr2;crw;nef;arw;orf;raf;rw2;"
         "dng;pef;srf;x3f"},
        {4, "mp4;mov;avi;mkv;wmv;m4v;mpg;mpeg;3gp;3g2;flv;webm;mts;m2ts;asf;vob;rm;rmvb"},
        {8, "mp3;wav;flac;aac;m4a;ogg;wma;aiff;aif;ape;mid;midi;amr;au"},
        {16, "zip;rar;7z;tar;gz;tgz;bz2;xz;dmg;iso;cab;jar;xar;sit;sitx"},
        {32, "eml;msg;pst;ost;mbox;emlx;dbx;nsf"},
    };
    CFileTypeManager::Initialze(lists);
}
