// rxResult: a results file as the host sees it, a list of subcases. A reader
// derives from it and overrides ReadNumSubcases (asked once, on the first
// GetNumSubcases) and ReadSubcase. The base owns the subcases in its list
// (one reference each) and releases them when it goes.
#pragma once

#include "rxDataType.h"
#include "rxExport.h"
#include "rxObject.h"

#include <string>
#include <vector>

class rxSubcase;

class RX_API rxResult : public rxObject {
public:
    explicit rxResult(const char* fileName);
    ~rxResult() override;

    void Release() override;
    virtual int GetNumSubcases();
    virtual rxSubcase* GetSubcase(int index);
    virtual int GetDefaultResultSystemID(rxDataType::Binding binding, const char* name);
    virtual int GetShellElemSysCalcMethod() const;
    virtual bool DataIsTabular() const;
    virtual int ReadNumSubcases();
    virtual rxSubcase* ReadSubcase(int index);

    const char* GetFileName() const { return fileName.c_str(); }

protected:
    std::vector<rxSubcase*> subcases;

private:
    std::string fileName;
    bool numSubcasesKnown = false;
    int numSubcases = 0;
};
