// The automation class of the server: creatable by its ProgID, with one
// method, "Extract", reached by late binding only.
#pragma once

#include "platform/win32/automation_target.h"
#include "platform/win32/ole_object_factory.h"

namespace brevanto {

// {3122BA8F-3EC8-4BD3-A60B-31EA1236CC82}
extern const CLSID kTextExtractionClsid;
// {5E75E7F4-7C0C-4428-A288-1BF3E9B92714}
extern const IID kTextExtractionDispatchIid;
extern const char kTextExtractionProgId[];

class CTextExtraction : public CAutomationTarget {
 public:
  // A new object with one reference, or null when memory runs out.
  static CAutomationTarget* create();

  // Finds the browser window that shows the page with this URL and title,
  // and saves the main text of its body where the user says. Every outcome
  // is a message box owned by the browser window, or silence.
  void Extract(const char* url, const char* title);

  // The module's one factory for this class.
  static COleObjectFactory factory;

 protected:
  const DispatchTable& dispatchTable() const override;
  const InterfaceTable& interfaceTable() const override;

 private:
  CTextExtraction();
  ~CTextExtraction() override;
};

}  // namespace brevanto
