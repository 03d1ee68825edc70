#pragma once
// Simulated adapters behind the same transport calls as real ones: the
// umbrella of platform/sim/ (Model.h: what a model is; Adapter.h: its
// endpoints and faults; Bus.h: channels, buses and scripted nodes; World.h:
// the topology and its file; Backend.h: the transport back end; EchoModel.h:
// the framework's own test device).
//
// How a device model plugs in
// ---------------------------
// A model is one adapter family's firmware, written against this framework:
//
//   class MyModel : public plat::sim::DeviceModel {
//   public:
//       MyModel() {
//           handleOut(0x01, [this](const Bytes &req) {            // command pipe
//               adapter().push(0x81, reply(req));                  // answer on 0x81
//           });
//           handleOut(0x02, [this](const Bytes &pkt) {            // transmit pipe
//               plat::sim::CanFrame f = decode(pkt);
//               adapter().channel(f.channel).transmit(f);          // onto its bus
//           });
//       }
//       void onBusFrame(int ch, const plat::sim::CanFrame &f) override {
//           adapter().push(0x83, encode(ch, f, adapter().stampUs(32))); // receive stream
//       }
//   };
//
//   plat::sim::registerModel({"TRNA701", 0x0471, 0x7A41, 4,
//       {{0x01, UsbdPipeTypeBulk, 64}, {0x81, UsbdPipeTypeBulk, 64}, ...},
//       [] { return std::make_unique<MyModel>(); }});
//
// - registerModel() declares a model per VID:PID: its name, channel count,
//   endpoints with their maximum packet sizes, and a factory. Every simulated
//   adapter of that VID:PID gets its own model object.
// - OUT writes reach the model's handler for that endpoint (handleOut), or
//   onOut() when the model overrides it; every write is also logged for
//   byte-exact tests (Adapter::outLog).
// - push() queues IN data as one device-side transfer; reads follow WinUSB
//   (a short packet ends a read, surplus stays for the next read, a time-out
//   returns what arrived). Faults set on the adapter (InFaults, failWrites,
//   unplug, busy, openFails) apply to everything the model pushes or gets.
// - editLastUnread() lets a model add to the newest transfer of an IN
//   endpoint while the host has not begun to read it (firmware filling its
//   packet until the host comes for it); never while faults are set there.
// - Channels are the model's CAN controllers: the model sets their bit rate,
//   listen-only mode and start/stop from its own commands, and transmits
//   through them. A channel attaches to a named Bus; a started channel's
//   frame reaches every other started channel on that bus whose rate matches
//   the bus (or, on a bus without a fixed rate, the sender's); a channel at
//   another rate gets nothing and shows an error state. Received frames come
//   to the model in onBusFrame(); stampUs(bits) gives the microsecond stamp
//   cut to the record's width.
// - Scripted nodes (PeriodicNode, AnswerNode, or any BusNode) join a bus to
//   send periodic frames or answer requests.
// - onTick()/nextTickMs() let a model do timed work of its own (scheduled by
//   the tick source, so it follows an injected clock); onTick() must move
//   nextTickMs() past the current tick, or waiting reads keep waking.
//
// The topology (adapters, buses, attachments, nodes) comes from the file that
// KEMUSB_SIM_CONFIG names, or by default one adapter of each registered
// model with all its channels on one bus of its own. World::loadConfig()
// documents the file. Everything runs under one world lock: model code is
// called with it held and may push, transmit and look at other adapters.

#include "platform/sim/Adapter.h"
#include "platform/sim/Backend.h"
#include "platform/sim/Bus.h"
#include "platform/sim/EchoModel.h"
#include "platform/sim/Model.h"
#include "platform/sim/World.h"
