#pragma once

#include "data/channeldata.h"
#include "link/modeltable.h"

namespace ondrel {

class CurveGraph;
class DevCtrl;

// What a test feature's controller may use of its device slot: the slot's number, its model,
// the data of its channels, its panel and graph, and the commands it sends. The slot implements
// it; the controllers never see the slot or the main window.
class SlotContext {
public:
  virtual int slotIndex() const = 0;
  virtual const ModelParams& model() const = 0;
  virtual ChannelData& channel(int c) = 0;
  virtual DevCtrl& panel() = 0;
  virtual CurveGraph& graph() = 0;
  // Start (1), Adjust (7) or Continue with the panel's texts of the channel.
  virtual void SendStart(int c, int operation) = 0;
  virtual void SendStop(int c) = 0;

protected:
  ~SlotContext() = default;
};

} // namespace ondrel
