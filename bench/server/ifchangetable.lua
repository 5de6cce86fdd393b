-- wrk: one ifchangetable call per request, as a polling client sends it.
wrk.method = "POST"
wrk.headers["Content-Type"] = 'text/xml; charset="utf-8"'
wrk.headers["SOAPAction"] = '"http://tempuri.org/ifchangetable"'
wrk.body = '<?xml version="1.0" encoding="utf-8"?><soap:Envelope xmlns:soap="http://schemas.xmlsoap.org/soap/envelope/">'
    .. '<soap:Body><ifchangetable xmlns="http://tempuri.org/"><userdj>2</userdj></ifchangetable></soap:Body></soap:Envelope>'

-- Count answers that are not 200 so a failing service cannot pass as a fast one.
local failures = 0
response = function(status, headers, body)
    if status ~= 200 then
        failures = failures + 1
    end
end

done = function(summary, latency, requests)
    local errors = summary.errors
    io.write(string.format("non-200/socket errors: %d/%d\n", summary.errors.status,
        errors.connect + errors.read + errors.write + errors.timeout))
end
