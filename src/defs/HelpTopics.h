// The help-topic table as the model parser sees it: configuration models may
// override the topics of a few controls. The context help implements it;
// tests record.
#pragma once

#include <string>

namespace tolvane {

class IHelpTopics {
 public:
  virtual ~IHelpTopics() = default;
  // Sets the topic of the first entry for `controlId`; -1 when there is none.
  virtual int SetTopic(int controlId, const std::string& topic) = 0;
};

}  // namespace tolvane
