INSERT INTO brz_kik_izleme (muta, donem, erkn_izlm_kod) VALUES
    -- two code cells in the newest period: the first joined text in byte order
    ('1', '2402', 'EI4'), ('1', '2402', '[''EI1'', ''EI9'']'), ('1', '2401', 'EI2'),
    -- the newest period with a code: an empty list is none
    ('2', '2402', '[]'), ('2', '2401', 'EI3'),
    -- and so is a blank cell
    ('3', '2402', '  '), ('3', '2401', 'EI5');
