// rxDataType: one kind of result a subcase offers (a name, whether it is
// bound to nodes or elements, and its attributes such as the value format).
// Created by rxSubcase::CreateDataType and owned by that subcase's list.
#pragma once

#include "rxDataSet.h"
#include "rxExport.h"
#include "rxObject.h"

#include <string>
#include <vector>

class RX_API rxDataType : public rxObject {
public:
    enum Binding { Nodes = 1, Elements = 2 };

    struct Attribute {
        std::string name;
        rxDataSet::Format format;
        int option;
        bool flag;
    };

    rxDataType(const char* name, Binding binding, int option);
    ~rxDataType() override;

    void AddAttribute(const char* name, rxDataSet::Format format, int option, bool flag);

    const char* GetName() const { return name.c_str(); }
    Binding GetBinding() const { return binding; }
    int GetOption() const { return option; }
    const std::vector<Attribute>& GetAttributes() const { return attributes; }

private:
    std::string name;
    Binding binding;
    int option;
    std::vector<Attribute> attributes;
};
