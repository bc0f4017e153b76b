// The printer application's drivers: one per model of the table of models, what PAPPL needs to know of
// each (resolution, media, darkness, speed, formats) and the callbacks that turn a job into label commands.
#ifndef KV_PRINTER_DRIVER_H
#define KV_PRINTER_DRIVER_H

#include <pappl/pappl.h>

#include <string>
#include <vector>

#include "kv/models.h"
#include "label_writer.h"

namespace kv::printer {

// The printer's own command language: a job of this format goes to the printer byte for byte.
inline constexpr const char kCommandFormat[] = "application/vnd.kirv-label";

// The drivers, one per model ("kirv_r5", "kirv_r5i", ...); the array lives as long as the program.
std::vector<pappl_pr_driver_t>& Drivers();

// The driver name of a model name: lower case, letters and digits, "_" for anything else.
std::string DriverName(const char* model_name);

// PAPPL's driver callback: fills the driver data of a model.
bool DriverCallback(pappl_system_t* system, const char* driver_name, const char* device_uri, const char* device_id,
                    pappl_pr_driver_data_t* data, ipp_t** attrs, void* cb_data);

// PAPPL's auto-add callback: the driver of a device that reports a KIRV model, or null.
const char* AutoAddCallback(const char* device_info, const char* device_uri, const char* device_id, void* data);

// The model of the printer a job is for; null when its driver is none of ours.
const Model* ModelOf(pappl_job_t* job);

// The label a page becomes, from the job's options and the printer's model: the media's size (else the
// page's, `page_width` x `page_length` dots), tracking and type, darkness, speed and the halftone.
LabelSettings SettingsOf(const Model& model, const pappl_pr_options_t& options, int page_width, int page_length);

// Recognises a job in the printer's command language sent without a format (application/octet-stream).
const char* DetectFormat(const unsigned char* header, std::size_t size, void* data);

}  // namespace kv::printer

#endif
