#pragma once
// Reading an XML file whole and parsing it in place.
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include <rapidxml/rapidxml.hpp>

// A parsed file. The document's names and values point into the file's
// bytes (followed by a zero byte), so both live together; root is valid
// while they do. An empty handle (null document) means the load failed.
struct XmlFileHandle {
    XmlFileHandle() : root(0) {}

    boost::shared_ptr<rapidxml::xml_document<char> > document;
    boost::shared_ptr<std::vector<char> > file;
    rapidxml::xml_node<char>* root;
};

// Opens and parses the file and finds its first top-level element named
// rootName (case-sensitive). Failures are written to the install log and
// give an empty handle.
XmlFileHandle loadXmlFile(const std::wstring& path, const std::string& rootName);

